#include "analysis/peak_significance.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tolvane {

bool peakStandsOut(const SpectrumView& y, const PeakNearCursor& peak, int32_t lo, int32_t hi) {
  if (!peak.found || y.size <= 0) return false;
  lo = std::clamp(lo, 0, y.size - 1);
  hi = std::clamp(hi, lo, y.size - 1);
  std::vector<int32_t> shown(y.counts + lo, y.counts + hi + 1);
  auto middle = shown.begin() + static_cast<std::ptrdiff_t>(shown.size() / 2);
  std::nth_element(shown.begin(), middle, shown.end());
  const double level = std::max<double>(*middle, 0.0);
  return static_cast<double>(peak.height) - level > 3.0 * std::sqrt(std::max(level, 1.0));
}

}  // namespace tolvane
