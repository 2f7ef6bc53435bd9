#pragma once
// "FWHM Calic.": centroid and full width at half maximum, in channels, of
// the peak next to the cursor.
#include <cstdint>

#include "analysis/spectrum_view.h"

namespace tolvane {

struct [[nodiscard]] FwhmResult {
  enum class Outcome { Measured, NoPeak, PeakAtViewEdge } outcome = Outcome::NoPeak;
  PeakNearCursor peak;  // the peak the width was measured on
  float centroid = 0.0f;
  float fwhm = 0.0f;  // channels
};

// lo and hi are the displayed channels; the walks stay inside them and
// inside the spectrum.
FwhmResult measureFwhm(const SpectrumView& y, int32_t cursor, int32_t lo, int32_t hi);

}  // namespace tolvane
