#pragma once
// A background spectrum taken off a sample by live time: the background is
// scaled by r = sample live time / background live time, so both stand for
// the same counting time, and
//   net[c] = sample[c] - r * background[c]   (rounded to whole counts)
//   var[c] = sample[c] + r^2 * background[c]  (Poisson counts, not rounded)
// Both spectra must have the same channel count and energy calibration, and
// both a live time above zero. The header is the sample's; its comment says
// what was taken off and by what factor. The variance goes with the result,
// as the net counts no longer carry it.
#include "analysis/derived_spectrum.h"

namespace tolvane {

// The live-time ratio applied, kept with the result for reports.
struct SubtractedSpectrum {
  DerivedSpectrum spectrum;
  double scale = 0.0;  // r
};

SubtractedSpectrum subtractBackground(const SpectrumPart& sample, const SpectrumPart& background);

}  // namespace tolvane
