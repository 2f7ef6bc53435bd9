#pragma once
// The two-point energy calibration of the "Eng.Calib" page.
#include <string>

namespace tolvane {

class Session;

inline constexpr const char* kCalibLowChError = "Error ! Energy Calib LowCh";
inline constexpr const char* kCalibHighChError = "Error ! Energy Calib HighCh";
inline constexpr const char* kCalibLowEngError = "Error ! Energy Calib LowEng";
inline constexpr const char* kCalibHighEngError = "Error ! Energy Calib HighEng";
inline constexpr const char* kCalibSameChError = "Error ! Energy Calib same Ch";
inline constexpr const char* kTypedLowChError = "Error ! EngCalib LowCh";
inline constexpr const char* kTypedHiChError = "Error ! EngCalib HiCh";

// "Exec Calib": gain and offset of the line through the two reference
// points on the page.
void EngCalibClick(Session& session);
// Typing checks of the two channel fields.
void LowChChange(Session& session, const std::string& text);
void HiChChange(Session& session, const std::string& text);

// E(c) = c x gain + offset, in single precision.
float channelEnergy(float gain, float offset, float channel);

}  // namespace tolvane
