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

// The line through two (channel, energy) points. The stored gain and
// offset are single precision, formed from the four values rounded to
// single precision; the exact ones are formed in double from the values as
// given, for callers that want the full precision.
struct CalibrationLine {
  enum class Outcome { Computed, SameChannel } outcome = Outcome::SameChannel;
  float lowChannel = 0, highChannel = 0, lowEnergy = 0, highEnergy = 0;  // as stored
  float gain = 0.0f, offset = 0.0f;
  double exactGain = 0.0, exactOffset = 0.0;
};
CalibrationLine computeCalibration(double lowChannel, double highChannel, double lowEnergy, double highEnergy);

// "Exec Calib": gain and offset of the line through the two reference
// points on the page.
void EngCalibClick(Session& session);
// Typing checks of the two channel fields.
void LowChChange(Session& session, const std::string& text);
void HiChChange(Session& session, const std::string& text);

// E(c) = c x gain + offset, in single precision.
float channelEnergy(float gain, float offset, float channel);

}  // namespace tolvane
