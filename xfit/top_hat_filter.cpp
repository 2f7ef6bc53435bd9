#include "xfit/top_hat_filter.h"

#include <algorithm>
#include <vector>

namespace tolvane {

namespace {

// One filter loop; `shift` moves the window (0 for the filter, 1 for the
// variance) and `sideWeight` is the weight of both side lobes.
// prefix[k] = sum of in[0 .. k-1].
void prefixSums(const int32_t* in, int64_t* prefix) {
  prefix[0] = 0;
  for (int32_t c = 0; c < kFitChannels; ++c) prefix[c + 1] = prefix[c] + in[c];
}

int64_t rangeSum(const int64_t* prefix, int32_t first, int32_t last) {
  first = std::max(first, 0);
  if (last < first) return 0;
  return prefix[last + 1] - prefix[first];
}

void filterLoop(const int32_t* in, double* out, int32_t n, TopHatWidths w, int32_t shift, double sideWeight) {
  const int32_t span = 2 * w.side + w.centre;
  const int32_t h = span / 2;
  std::fill(out, out + kFitChannels, 0.0);
  if (sideWeight == -1.0 || sideWeight == 1.0) {
    // Whole-number weights: every partial sum of the loop below is a whole
    // number held exactly, so lobe sums from prefix sums give the same bits.
    std::vector<int64_t> prefix(kFitChannels + 1);
    prefixSums(in, prefix.data());
    const auto weight = static_cast<int64_t>(sideWeight);
    for (int32_t i = 0; i < n && i < kFitChannels; ++i) {
      const int32_t first = i - h - 1 + shift;
      if (first + span - 1 > kFitChannels - 1) return;
      const int64_t left = rangeSum(prefix.data(), first, first + w.side - 1);
      const int64_t centre = rangeSum(prefix.data(), first + w.side, first + w.side + w.centre - 1);
      const int64_t right = rangeSum(prefix.data(), first + w.side + w.centre, first + span - 1);
      out[i] = static_cast<double>(weight * left + centre + weight * right);
    }
    return;
  }
  for (int32_t i = 0; i < n && i < kFitChannels; ++i) {
    if (i - h - 1 + shift + span - 1 > kFitChannels - 1) return;  // the window leaves the buffer: stop
    double sum = 0.0;
    for (int32_t j = 0; j < span; ++j) {
      const int32_t c = i - h - 1 + shift + j;
      if (c < 0) continue;
      const double v = static_cast<double>(in[c]);
      sum += (j < w.side || j >= w.side + w.centre) ? sideWeight * v : v;
    }
    out[i] = sum;
  }
}

}  // namespace

void TopHatFilter(const int32_t* in, double* out, int32_t n, TopHatWidths w) {
  filterLoop(in, out, n, w, 0, static_cast<double>(w.centre) * -0.5 / static_cast<double>(w.side));
}

void TopHatVariance(const int32_t* in, double* out, int32_t n, TopHatWidths w) {
  const double side = static_cast<double>(w.centre) * -0.5 / static_cast<double>(w.side);
  filterLoop(in, out, n, w, 1, side * side);
}

}  // namespace tolvane
