#pragma once
// The continuum under the peaks by SNIP, the statistics-sensitive
// non-linear iterative peak-clipping of Ryan et al. (1988) with the
// decreasing clipping window of Morhac et al. (1997, 2008):
//
//   for p = w, w-1, ..., 1:
//     v[i] = min(v[i], (v[i-p] + v[i+p]) / 2)   for p <= i < N-p
//
// all channels of one pass clipped against the previous pass. The widest
// window comes first, so a peak is cut down before the narrow windows
// follow the curvature of the continuum. The counts are optionally
// smoothed first (passes of the 1/4 1/2 1/4 filter; the end channels take
// 3/4 of themselves and 1/4 of their neighbour) and, by default, taken
// through the log-log-sqrt transform v = ln(ln(sqrt(y + 1) + 1) + 1),
// which makes small peaks on a small continuum as clippable as large ones;
// the background is transformed back at the end. Negative counts (a
// subtracted spectrum) are clipped as 0 under that transform.
#include <cstdint>
#include <vector>

namespace tolvane {

struct SnipOptions {
  int width = 0;           // w: half-width of the widest clipping window, channels
  bool logLogSqrt = true;  // clip in the log-log-sqrt domain
  int smoothing = 0;       // smoothing passes before clipping
};

// Largest width taken (the window must fit in the largest spectrum).
inline constexpr int kSnipMaxWidth = 4095;

// The background of counts[0 .. size-1], one value per channel, in counts.
// A width below 1 leaves the (smoothed) counts as they are.
std::vector<double> snipBackground(const int32_t* counts, int32_t size, const SnipOptions& options);

// The window half-width for peaks of `fwhmKev` on a scale of `gainKev` per
// channel: two FWHM, so the widest window reaches past the base of a
// Gaussian peak (about 1.3 FWHM from its centre) on both sides. At least 1.
int snipWidthForFwhm(double fwhmKev, double gainKev);

}  // namespace tolvane
