#include "analysis/spectrum_view.h"

namespace tolvane {

PeakNearCursor findPeakNearCursor(const SpectrumView& y, int32_t cursor) {
  PeakNearCursor peak;
  for (int64_t k = int64_t{cursor} - 5; k <= int64_t{cursor} + 5; ++k) {
    if (y.has(k) && y.at(k) > peak.height) {
      peak.height = y.at(k);
      peak.channel = static_cast<int32_t>(k);
      peak.found = true;
    }
  }
  if (!peak.found) return peak;
  float s0 = 0.0f, s1 = 0.0f;
  for (int64_t k = int64_t{peak.channel} - 2; k <= int64_t{peak.channel} + 2; ++k) {
    if (!y.has(k)) continue;
    s0 += static_cast<float>(y.at(k));
    // k * y[k] is formed exactly, then rounded once into the sum.
    s1 += static_cast<float>(k * y.at(k));
  }
  peak.centroid = s0 > 0.0f ? s1 / s0 : static_cast<float>(peak.channel);
  return peak;
}

float edgeFraction(int64_t a, int64_t b, int64_t c, int64_t d) {
  const int64_t denominator = c - d;
  return denominator == 0 ? 0.0f : static_cast<float>(a - b) / static_cast<float>(denominator);
}

}  // namespace tolvane
