#pragma once
// "Calib from lines" of the calibration page: the lines of its list found
// as peaks of the working spectrum, the calibration fitted through them put
// in force, its residual table, and Undo back to the calibration before.
#include <array>
#include <string>
#include <vector>

#include "lines/calibration_lines.h"

namespace tolvane {

class Session;

inline constexpr const char* kNothingToUndoText = "Calib: nothing to undo";

// Fits the calibration through the lines of `lineList` and puts it in force
// (in eV when the calibration it replaces was in eV, else keV), keeping the
// one before for Undo. Nothing changes when the list names no line, there
// is no calibration to start from, or too few lines are found; the status
// field says which. Returns whether a calibration was put in force.
bool CalibFromLinesClick(Session& session, const std::string& lineList, bool quadratic);

// Puts back the calibration in force before the last one from lines.
// Returns false (and says so) when there is none.
bool CalibUndoClick(Session& session);

// The residual table: line, channel, energy (keV), fitted energy (keV),
// residual (eV), and "does not fit", "not found" or "".
using CalibrationTableRow = std::array<std::string, 6>;
std::vector<CalibrationTableRow> calibrationTable(const LinesCalibration& result);
// "5 lines, RMS 1.8 eV; 1 does not fit".
std::string calibrationSummary(const LinesCalibration& result);

}  // namespace tolvane
