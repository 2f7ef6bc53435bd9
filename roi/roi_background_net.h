#pragma once
// The net sum of an ROI over a background given channel by channel (the
// SNIP continuum), the choice beside the straight line under the ROI that
// `roiNetSums` draws from three channels on each side.
//
// gross = sum of counts in low .. high-1, as the plot adds them;
// net = gross - sum of background[c] over the same channels.
// The background comes from many channels around the ROI, so its own
// uncertainty is smaller than that of counts under the ROI; the variance
// counts it as if the background had been measured once under the ROI
// (gross + background sum), which errs on the safe side. Channels outside
// the spectrum count 0; high <= low holds no channel.
#include <cstdint>
#include <vector>

#include "roi/roi_net.h"

namespace tolvane {

enum class RoiBackground { StraightLine, Snip };

RoiNetSums roiNetOverBackground(const int32_t* counts, int32_t size, int32_t low, int32_t high,
                                const std::vector<double>& background);

// The variance of either net sum when each channel's variance is given (a
// background-subtracted spectrum keeps it beside its file) instead of
// being the count itself: the same combinations of channels, with that
// variance in place of the counts. `backgroundSum` is the SNIP background
// under the ROI (unused for the straight line).
double roiNetVariance(const std::vector<double>& channelVariance, int32_t low, int32_t high, RoiBackground background,
                      double backgroundSum);

}  // namespace tolvane
