#include "roi/roi_net.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "roi/roi_sums.h"

namespace tolvane {

RoiNetSums roiNetSums(const int32_t* counts, int32_t size, int32_t low, int32_t high) {
  RoiNetSums out;
  // An ROI whose high channel is not above its low one holds no channel:
  // its gross and net sums are 0 (a negative width would turn the
  // background into a net sum).
  if (size <= 0 || high <= low) return out;
  const auto has = [&](int64_t c) { return c >= 0 && c < size; };
  const auto orZero = [&](int64_t c) { return has(c) ? counts[c] : 0; };
  // Sums and background in single precision; channels outside the spectrum
  // count 0, the same for the gross sum and the background.
  out.gross = roiGrossSum(counts, size, low, high);
  const auto side = [&](int64_t a, int64_t b, int64_t c) {
    const int64_t sum = int64_t{orZero(a)} + orZero(b) + orZero(c);
    return static_cast<float>(sum) * 0.33333f;
  };
  const float left = side(low, int64_t{low} - 1, int64_t{low} - 2);
  const float right = side(high, int64_t{high} + 1, int64_t{high} + 2);
  const int64_t width = int64_t{high} - low;
  const float background = (left + right) * static_cast<float>(width) * 0.5f;
  out.net = out.gross - background;

  // The net sum is sum(k_c * y_c). Every gross channel has k = 1; the six
  // background channels inside the spectrum (channel `low` is also a gross
  // channel) add -n/6 each.
  const int64_t grossLow = std::max<int64_t>(low, 0), grossHigh = std::min<int64_t>(high, size);
  double variance = 0.0;
  for (int64_t c = grossLow; c < grossHigh; ++c) variance += std::max(counts[c], 0);
  const double sideWeight = 0.33333 * 0.5 * static_cast<double>(width);
  for (const int64_t c : {int64_t{low}, int64_t{low} - 1, int64_t{low} - 2, int64_t{high}, int64_t{high} + 1,
                          int64_t{high} + 2}) {
    if (!has(c)) continue;
    const double inGross = c >= grossLow && c < grossHigh ? 1.0 : 0.0;
    const double k = inGross - sideWeight;
    variance += (k * k - inGross) * std::max(counts[c], 0);
  }
  out.variance = variance;
  return out;
}

double netRelativeSigmaPct(const RoiNetSums& sums) {
  if (!(sums.net > 0.0f)) return std::numeric_limits<double>::infinity();
  return 100.0 * std::sqrt(sums.variance) / static_cast<double>(sums.net);
}

}  // namespace tolvane
