#include "roi/roi_background_net.h"

#include <algorithm>

#include "roi/roi_sums.h"

namespace tolvane {

RoiNetSums roiNetOverBackground(const int32_t* counts, int32_t size, int32_t low, int32_t high,
                                const std::vector<double>& background) {
  RoiNetSums out;
  if (size <= 0 || high <= low) return out;
  out.gross = roiGrossSum(counts, size, low, high);
  const int64_t first = std::max<int64_t>(low, 0);
  const int64_t last = std::min<int64_t>({high, size, static_cast<int64_t>(background.size())});
  double under = 0.0, grossCounts = 0.0;
  for (int64_t c = first; c < last; ++c) under += background[static_cast<size_t>(c)];
  for (int64_t c = first; c < std::min<int64_t>(high, size); ++c) grossCounts += std::max(counts[c], 0);
  out.net = out.gross - static_cast<float>(under);
  out.variance = grossCounts + std::max(under, 0.0);
  return out;
}

double roiNetVariance(const std::vector<double>& v, int32_t low, int32_t high, RoiBackground background,
                      double backgroundSum) {
  if (high <= low) return 0.0;
  const int64_t size = static_cast<int64_t>(v.size());
  const auto at = [&](int64_t c) { return c >= 0 && c < size ? v[static_cast<size_t>(c)] : 0.0; };
  double variance = 0.0;
  for (int64_t c = low; c < high; ++c) variance += at(c);
  if (background == RoiBackground::Snip) return variance + std::max(backgroundSum, 0.0);
  // The straight line: each of the six side channels weighs -n/6 (as
  // roiNetSums forms it); channel `low` is also in the gross sum.
  const double sideWeight = 0.33333 * 0.5 * static_cast<double>(int64_t{high} - low);
  for (const int64_t c : {int64_t{low}, int64_t{low} - 1, int64_t{low} - 2, int64_t{high}, int64_t{high} + 1,
                          int64_t{high} + 2}) {
    const double inGross = c >= low && c < high ? 1.0 : 0.0;
    const double k = inGross - sideWeight;
    variance += (k * k - inGross) * at(c);
  }
  return variance;
}

}  // namespace tolvane
