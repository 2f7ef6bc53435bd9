#pragma once
// An ROI as a map takes it: its table entry, label and channel window.
#include <cstdint>
#include <string>

namespace tolvane {

struct MapRoi {
  int32_t index = 0;  // the ROI table entry
  std::string label;
  int32_t low = 0;  // channels low .. high-1, as the ROI sums take them
  int32_t high = 0;
};

}  // namespace tolvane
