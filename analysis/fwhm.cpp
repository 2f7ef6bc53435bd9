#include "analysis/fwhm.h"

#include <algorithm>

namespace tolvane {

FwhmResult measureFwhm(const SpectrumView& y, int32_t cursor, int32_t lo, int32_t hi) {
  FwhmResult result;
  const PeakNearCursor peak = result.peak = findPeakNearCursor(y, cursor);
  if (!peak.found) return result;
  result.centroid = peak.centroid;
  lo = std::clamp(lo, 0, y.size - 1);
  hi = std::clamp(hi, 0, y.size - 1);
  const int32_t p = peak.channel;
  if (p <= lo || p >= hi) {
    result.outcome = FwhmResult::Outcome::PeakAtViewEdge;
    return result;
  }
  const int32_t h = peak.height / 2;
  int32_t left = lo + 2;
  for (int32_t k = p; k > lo; --k)
    if (y.at(k) <= h) {
      left = k + 1;
      break;
    }
  int32_t right = hi - 2;
  for (int32_t k = p; k < hi; ++k)
    if (y.at(k) <= h) {
      right = k - 1;
      break;
    }
  const float fl = edgeFraction(y.at(left), h, y.at(left), y.at(left - 1));
  const float fr = edgeFraction(y.at(right), h, y.at(right), y.at(right + 1));
  result.fwhm = static_cast<float>(right - left - 1) + fl + fr;
  result.outcome = FwhmResult::Outcome::Measured;
  return result;
}

}  // namespace tolvane
