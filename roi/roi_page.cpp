#include "roi/roi_page.h"

#include <algorithm>

namespace tolvane {

RoiSwitch switchRoi(RoiTable& table, int index, bool on, const RoiSettings& settings) {
  if (index < 0 || index >= RoiTable::kEntries) return RoiSwitch::NoEntry;
  RoiEntry& roi = table.Entries[static_cast<size_t>(index)];
  if (!on) {
    roi.Shown = 0;
    return RoiSwitch::Hidden;
  }
  if (!settings.low) return RoiSwitch::BadLow;
  roi.LowChannel = *settings.low;
  if (!settings.high) return RoiSwitch::BadHigh;
  roi.HighChannel = *settings.high;
  // The label holds seven characters and its terminator; longer text is cut.
  roi.ElementLabel.fill('\0');
  const std::string label = settings.label.substr(0, kElementLabelLength);
  std::copy(label.begin(), label.end(), roi.ElementLabel.begin());
  roi.Colour = settings.colour;
  roi.Defined = 1;
  roi.Shown = 1;
  table.SelectedRoi = index;
  return RoiSwitch::Shown;
}

bool roiGoesToAnalyser(int index) { return index >= 1 && index <= 4; }

}  // namespace tolvane
