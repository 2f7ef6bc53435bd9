#include "analysis/energy_calibration.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "records/shared_records.h"
#include "records/text_number.h"

namespace tolvane {

float channelEnergy(float gain, float offset, float channel) { return channel * gain + offset; }

CalibrationLine computeCalibration(double lowChannel, double highChannel, double lowEnergy, double highEnergy) {
  CalibrationLine line;
  const float rlc = static_cast<float>(lowChannel), rhc = static_cast<float>(highChannel);
  const float rle = static_cast<float>(lowEnergy), rhe = static_cast<float>(highEnergy);
  const float gain = (rhe - rle) / (rhc - rlc);
  const float offset = rhe - gain * rhc;
  // Two equal channels define no line (and numbers beyond single precision
  // no usable one).
  if (rhc == rlc || !std::isfinite(gain) || !std::isfinite(offset)) return line;
  line = {CalibrationLine::Outcome::Computed, rlc, rhc, rle, rhe, gain, offset, 0.0, 0.0};
  line.exactGain = (highEnergy - lowEnergy) / (highChannel - lowChannel);
  line.exactOffset = highEnergy - line.exactGain * highChannel;
  return line;
}

CalibrationEntry calibrationFromTexts(std::string_view lowChannel, std::string_view highChannel,
                                      std::string_view lowEnergy, std::string_view highEnergy) {
  using Outcome = CalibrationEntry::Outcome;
  const std::pair<std::string_view, Outcome> fields[] = {{lowChannel, Outcome::LowChannelNotNumber},
                                                         {highChannel, Outcome::HighChannelNotNumber},
                                                         {lowEnergy, Outcome::LowEnergyNotNumber},
                                                         {highEnergy, Outcome::HighEnergyNotNumber}};
  CalibrationEntry entry;
  float values[4];
  for (size_t i = 0; i < 4; ++i) {
    const auto value = parseFloat(fields[i].first);
    if (!value) {
      entry.outcome = fields[i].second;
      return entry;
    }
    values[i] = *value;
  }
  entry.line = computeCalibration(values[0], values[1], values[2], values[3]);
  entry.outcome = entry.line.outcome == CalibrationLine::Outcome::Computed ? Outcome::Computed : Outcome::SameChannel;
  return entry;
}

void storeCalibration(EnergyCalibration& cal, const CalibrationLine& line, std::string_view unitText) {
  cal.UnitText.fill('\0');
  std::copy_n(unitText.begin(), std::min<size_t>(unitText.size(), cal.UnitText.size() - 1), cal.UnitText.begin());
  cal.RefLowChannel = line.lowChannel;
  cal.RefHighChannel = line.highChannel;
  cal.RefLowEnergy = line.lowEnergy;
  cal.RefHighEnergy = line.highEnergy;
  cal.Gain = line.gain;
  cal.Offset = line.offset;
  cal.Quadratic = 0.0f;
  cal.Valid = 1;
}

float channelEnergy(const EnergyCalibration& cal, float channel) {
  const float line = channelEnergy(cal.Gain, cal.Offset, channel);
  if (cal.Quadratic == 0.0f) return line;
  return line + channel * channel * cal.Quadratic;
}

bool isChannelText(std::string_view text) { return parseFloat(text).has_value(); }

}  // namespace tolvane
