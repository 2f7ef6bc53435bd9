#pragma once
// The gross and net sums of one ROI as the plot forms them, with the
// Poisson variance of the net sum.
//
// gross = sum of counts in low .. high-1 (n = high - low channels);
// net = gross - (L + R) * n / 2, where L and R are a third of the three
// counts at and below low and at and above high (channels outside the
// spectrum count 0), all in single precision as the plot adds them. The net sum is a fixed linear
// combination of channel counts, so with Poisson counts its variance is
// the sum of each count times its coefficient squared. Written out, with
// S6 the sum of the six background counts, that is
//   var(net) = gross + (n/6)^2 * S6 - (n/3) * y[low]
// the last term because channel `low` is both in the gross sum and in the
// left background. An ROI whose high channel is not above its low one
// holds no channel: gross, net and variance are 0.
#include <cstdint>

namespace tolvane {

struct RoiNetSums {
  float gross = 0.0f;  // single precision, as the plot adds them
  float net = 0.0f;
  double variance = 0.0;  // of net
};

RoiNetSums roiNetSums(const int32_t* counts, int32_t size, int32_t low, int32_t high);

// 100 * sqrt(variance) / net; infinity when the net sum is not above 0.
double netRelativeSigmaPct(const RoiNetSums& sums);

}  // namespace tolvane
