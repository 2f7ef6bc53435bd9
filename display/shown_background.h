#pragma once
// The SNIP background of the spectrum shown, as the plot uses it: drawn
// over the trace on request and, when chosen, under the ROIs' net sums.
// The window is DisplayState::SnipWidth channels when set; otherwise twice
// the detector's FWHM at the middle of the spectrum's energy range on a
// calibrated spectrum, and kDefaultSnipWidth channels on one without a
// calibration. The log-log-sqrt transform is used, without smoothing.
#include <cstdint>
#include <vector>

#include "display/residual_curve.h"

namespace tolvane {

class EngineState;

inline constexpr int kDefaultSnipWidth = 30;

int shownSnipWidth(const EngineState& state);
std::vector<double> shownSnipBackground(const EngineState& state);

// The background as a line over the plot: one point per column of the
// shown channels, in the plot's scale (empty unless SnipShown).
std::vector<CurvePoint> backgroundCurve(const EngineState& state);

}  // namespace tolvane
