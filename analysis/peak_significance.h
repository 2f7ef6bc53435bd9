#pragma once
// Whether the peak next to the cursor is a peak at all: a flat spectrum,
// or a single count in an empty one, has a largest channel but nothing
// that stands out from its surroundings.
#include <cstdint>

#include "analysis/spectrum_view.h"

namespace tolvane {

// The peak stands out when its height above the median count of the
// displayed channels lo..hi exceeds three standard deviations of that
// level, taken as Poisson (and at least one count).
bool peakStandsOut(const SpectrumView& y, const PeakNearCursor& peak, int32_t lo, int32_t hi);

}  // namespace tolvane
