#include "roi/roi_net.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace tolvane {

RoiNetSums roiNetSums(const int32_t* counts, int32_t size, int32_t low, int32_t high) {
  RoiNetSums out;
  if (size <= 0) return out;
  const auto clamped = [&](int64_t c) { return std::clamp<int64_t>(c, 0, size - 1); };
  for (int64_t c = std::max(low, 0); c < high && c < size; ++c) out.gross += static_cast<float>(counts[c]);
  const auto side = [&](int64_t a, int64_t b, int64_t c) {
    const double sum = static_cast<double>(counts[clamped(a)]) + counts[clamped(b)] + counts[clamped(c)];
    return static_cast<float>(sum * 0.33333);
  };
  const float left = side(low, int64_t{low} - 1, int64_t{low} - 2);
  const float right = side(high, int64_t{high} + 1, int64_t{high} + 2);
  const int64_t width = int64_t{high} - low;
  const auto background = static_cast<float>((static_cast<double>(left) + static_cast<double>(right)) * width * 0.5);
  out.net = static_cast<float>(static_cast<double>(out.gross) - static_cast<double>(background));

  // The net sum is sum(k_c * y_c). Every gross channel has k = 1; the six
  // background channels (a clamped one may repeat, and channel `low` is
  // also a gross channel) add -n/6 each.
  const int64_t grossLow = std::max<int64_t>(low, 0), grossHigh = std::min<int64_t>(high, size);
  double variance = 0.0;
  for (int64_t c = grossLow; c < grossHigh; ++c) variance += std::max(counts[c], 0);
  const double sideWeight = 0.33333 * 0.5 * static_cast<double>(width);
  std::array<int64_t, 6> sides = {clamped(low),  clamped(int64_t{low} - 1),  clamped(int64_t{low} - 2),
                                  clamped(high), clamped(int64_t{high} + 1), clamped(int64_t{high} + 2)};
  std::sort(sides.begin(), sides.end());
  for (size_t i = 0; i < sides.size();) {
    size_t j = i;
    while (j < sides.size() && sides[j] == sides[i]) ++j;
    const int64_t c = sides[i];
    const double inGross = c >= grossLow && c < grossHigh ? 1.0 : 0.0;
    const double k = inGross - sideWeight * static_cast<double>(j - i);
    variance += (k * k - inGross) * std::max(counts[c], 0);
    i = j;
  }
  out.variance = variance;
  return out;
}

double netRelativeSigmaPct(const RoiNetSums& sums) {
  if (!(sums.net > 0.0f)) return std::numeric_limits<double>::infinity();
  return 100.0 * std::sqrt(sums.variance) / static_cast<double>(sums.net);
}

}  // namespace tolvane
