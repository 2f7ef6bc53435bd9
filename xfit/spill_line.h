#pragma once
// The line behind a window spill: where the spilling standard carries an
// energy calibration, its emission line that lies outside its own window
// and nearest the channels it spills into, so the analyst reads "its Kβ
// spills into the Fe window" rather than "its spectrum spills".
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/calibration_unit.h"
#include "xfit/fit_quality.h"
#include "xfit/standards_check.h"

namespace tolvane {

// A line further than this from the spill's channels is not taken for it:
// about the filter's reach at this detector's resolution.
inline constexpr double kSpillLineReachKev = 0.3;

// The line group ("Kβ") of `element` nearest the channels firstChannel ..
// lastChannel and outside ownLow .. ownHigh, on `calibration`; empty when
// the element is unknown or no line lies within kSpillLineReachKev.
std::string spillingLine(const std::string& element, const KevCalibration& calibration, int32_t ownLow, int32_t ownHigh,
                         int32_t firstChannel, int32_t lastChannel);

// A spill flag's text naming the line where the spilling standard's file
// carries a calibration; otherwise fitFlagText's.
std::string spillFlagText(const FitFlag& flag, const XfitWorkspace& fit, const std::vector<StandardInUse>& standards);

}  // namespace tolvane
