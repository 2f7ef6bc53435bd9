#pragma once
// The SNIP window for a spectrum from the detector's resolution: the FWHM
// the detector gives at the middle of the spectrum's energy range, in
// channels of its calibration, times two (snipWidthForFwhm). Peaks at the
// top of the range are wider and those at the bottom narrower; the middle
// keeps the window near the width of most peaks without cutting into the
// continuum's bends.
#include <cstdint>

#include "lines/detector_resolution.h"

namespace tolvane {

// gainKev, offsetKev: the spectrum's energy scale in keV.
int snipWidthFromResolution(const DetectorResolution& resolution, double gainKev, double offsetKev, int32_t channels);

}  // namespace tolvane
