#include "roi/roi_sums.h"

#include <algorithm>
#include <cmath>

namespace tolvane {

float roiGrossSum(const int32_t* counts, int32_t size, int32_t low, int32_t high) {
  float gross = 0.0f;
  for (int64_t c = std::max(low, 0); c < high && c < size; ++c) gross += static_cast<float>(counts[c]);
  return gross;
}

int32_t storedGrossSum(float gross) {
  return static_cast<int32_t>(std::clamp(std::trunc(static_cast<double>(gross)), -2147483648.0, 2147483647.0));
}

void storeRoiGrossSums(RoiTable& table, int entries, const int32_t* counts, int32_t size) {
  const int n = std::clamp(entries, 0, RoiTable::kEntries);
  for (int i = 0; i < n; ++i) {
    RoiEntry& roi = table.Entries[static_cast<size_t>(i)];
    if (roi.Shown == 1) roi.GrossSum = storedGrossSum(roiGrossSum(counts, size, roi.LowChannel, roi.HighChannel));
  }
}

}  // namespace tolvane
