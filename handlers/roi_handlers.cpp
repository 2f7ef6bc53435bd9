#include "handlers/roi_handlers.h"

#include "app/session.h"
#include "records/text_number.h"
#include "device/mca_commands.h"
#include "handlers/plot_handlers.h"
#include "roi/roi_page.h"

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
  const RoiPageFields& page = s.RoiPage;
  const int i = page.Selected;
  const RoiSettings settings{parseInteger(page.Low), parseInteger(page.High), page.Element, page.Colour};
  switch (switchRoi(s.Rois, i, page.On, settings)) {
    case RoiSwitch::NoEntry:
      s.Texts.Edit1 = kRoiUnknownError;
      return;
    case RoiSwitch::BadLow:
      s.Texts.Edit1 = kRoiLowError;
      return;
    case RoiSwitch::BadHigh:
      s.Texts.Edit1 = kRoiHighError;
      return;
    case RoiSwitch::Shown: {
      const RoiEntry& roi = s.Rois.Entries[static_cast<size_t>(i)];
      // Sent whether or not the analyser is open; its answer is not shown.
      if (roiGoesToAnalyser(i)) (void)SetRoiWindow(s.Transport, i, roi.LowChannel, roi.HighChannel);
      break;
    }
    case RoiSwitch::Hidden:
      break;
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
