#pragma once
// calib FILE.dat --lines "Mn Ka, Cu Ka, ..." | --points ch:E,ch:E,...: the
// calibration through many points, with the residual of each.
#include <QStringList>

namespace tolvane::cli {

// Whether the arguments ask for the calibration through many points (they
// hold --lines or --points) rather than the two-point one.
bool wantsCalibFromPoints(const QStringList& arguments);
int runCalibFromPoints(const QStringList& arguments);

}  // namespace tolvane::cli
