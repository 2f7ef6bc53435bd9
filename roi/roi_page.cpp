#include "roi/roi_page.h"

#include <algorithm>

#include "app/session.h"
#include "app/text_number.h"
#include "device/mca_commands.h"
#include "display/plot_calls.h"

namespace tolvane {

namespace {

bool entrySelected(const RoiPageFields& page) { return page.Selected >= 0 && page.Selected < RoiTable::kEntries; }

}  // namespace

void ROINoSelectChange(Session& s, int index) {
  RoiPageFields& page = s.RoiPage;
  page.Selected = index;
  if (!entrySelected(page)) return;
  const RoiEntry& roi = s.Rois.Entries[static_cast<size_t>(index)];
  if (roi.Defined == 1) {
    page.Low = std::to_string(roi.LowChannel);
    page.High = std::to_string(roi.HighChannel);
    page.Element = roi.ElementLabel.data();
    page.Colour = roi.Colour;
    s.Rois.SelectedRoi = index;
    return;
  }
  if (page.On) {
    page.On = false;  // unchecking the box runs its own handler
    ROIOnCheckClick(s);
  }
  page.Low = "0";
  page.High = "0";
  page.Element.clear();
  page.Colour = kBlue;
}

void ROIOnCheckClick(Session& s) {
  RoiPageFields& page = s.RoiPage;
  if (!entrySelected(page)) {
    s.Texts.Edit1 = kRoiUnknownError;
    return;
  }
  const int i = page.Selected;
  RoiEntry& roi = s.Rois.Entries[static_cast<size_t>(i)];
  if (page.On) {
    const auto low = parseInteger(page.Low);
    if (!low) {
      s.Texts.Edit1 = kRoiLowError;
      return;
    }
    roi.LowChannel = *low;
    const auto high = parseInteger(page.High);
    if (!high) {
      s.Texts.Edit1 = kRoiHighError;
      return;
    }
    roi.HighChannel = *high;
    // The label holds seven characters and its terminator; longer text is cut.
    roi.ElementLabel.fill('\0');
    const std::string label = page.Element.substr(0, kElementLabelLength);
    std::copy(label.begin(), label.end(), roi.ElementLabel.begin());
    roi.Colour = page.Colour;
    roi.Defined = 1;
    roi.Shown = 1;
    s.Rois.SelectedRoi = i;
    if (i >= 1 && i <= 4) SetRoiWindow(s, 0, i, roi.LowChannel, roi.HighChannel);
  } else {
    roi.Shown = 0;
  }
  PaintBox1Paint(s);
}

void EditROILowChange(Session& s, const std::string& text) {
  s.RoiPage.Low = text;
  if (!parseInteger(text)) s.Texts.Edit1 = kRoiLowError;
}

void EditROIHighChange(Session& s, const std::string& text) {
  s.RoiPage.High = text;
  if (!parseInteger(text)) s.Texts.Edit1 = kRoiHighError;
}

void ROILowChClick(Session& s) { s.RoiPage.Low = std::to_string(s.Display.Cursor); }
void ROIHighChClick(Session& s) { s.RoiPage.High = std::to_string(s.Display.Cursor); }

}  // namespace tolvane
