#pragma once
// The two-point energy calibration: the line E(c) = c x gain + offset
// through two (channel, energy) reference points.
#include <string_view>

namespace tolvane {

struct EnergyCalibration;

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

// A calibration from the four texts of the calibration page, checked in
// the order low channel, high channel, low energy, high energy: the first
// that is not a number is the outcome; two equal channels give no line.
struct CalibrationEntry {
  enum class Outcome {
    Computed,
    LowChannelNotNumber,
    HighChannelNotNumber,
    LowEnergyNotNumber,
    HighEnergyNotNumber,
    SameChannel,
  } outcome = Outcome::LowChannelNotNumber;
  CalibrationLine line;  // when Computed
};
CalibrationEntry calibrationFromTexts(std::string_view lowChannel, std::string_view highChannel,
                                      std::string_view lowEnergy, std::string_view highEnergy);

// Stores a computed line with its unit text (cut to 7 characters) and
// marks the calibration valid.
void storeCalibration(EnergyCalibration& calibration, const CalibrationLine& line, std::string_view unitText);

// Whether a typed channel field holds a number.
bool isChannelText(std::string_view text);

// E(c) = c x gain + offset, in single precision.
float channelEnergy(float gain, float offset, float channel);
// The same with the calibration's quadratic term: c x gain + offset, then
// + c^2 x quadratic, in single precision (exactly the line when it is 0).
float channelEnergy(const EnergyCalibration& calibration, float channel);

}  // namespace tolvane
