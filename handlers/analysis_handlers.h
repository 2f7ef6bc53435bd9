#pragma once
// The analysis handlers of the window: "Exec Calib" and the typing checks
// of the calibration page, "FWHM Calic." and the Mn K-alpha fit. Each runs
// the analysis on the working spectrum and the view, and shows the result
// as the window does, in the status field, the result field and the plot.
#include <string>

#include "analysis/energy_calibration.h"
#include "analysis/fwhm.h"
#include "analysis/mn_fit.h"

namespace tolvane {

class Session;

// What the peak analyses show in the status field instead of a number.
inline constexpr const char* kNoPeakText = "No peak";
inline constexpr const char* kPeakAtEdgeText = "Peak at view edge";

inline constexpr const char* kCalibLowChError = "Error ! Energy Calib LowCh";
inline constexpr const char* kCalibHighChError = "Error ! Energy Calib HighCh";
inline constexpr const char* kCalibLowEngError = "Error ! Energy Calib LowEng";
inline constexpr const char* kCalibHighEngError = "Error ! Energy Calib HighEng";
inline constexpr const char* kCalibSameChError = "Error ! Energy Calib same Ch";
inline constexpr const char* kTypedLowChError = "Error ! EngCalib LowCh";
inline constexpr const char* kTypedHiChError = "Error ! EngCalib HiCh";

// "Exec Calib": gain and offset of the line through the two reference
// points on the page; the first field that is not a number, or two equal
// channels, leave the calibration as it was and say so.
void EngCalibClick(Session& session);
// Typing checks of the two channel fields.
void LowChChange(Session& session, const std::string& text);
void HiChChange(Session& session, const std::string& text);

// "FWHM Calic.": "Peak %8.2f Ch." in the status field and "%8.2f ch" in
// the result field.
void FWHMClick(Session& session);

// Toggles the Mn K-alpha fit: hides the overlay when shown, otherwise fits
// the peak at the cursor, shows its centroid and FWHM in eV and draws the
// four curves.
void MnKaFitClick(Session& session);

}  // namespace tolvane
