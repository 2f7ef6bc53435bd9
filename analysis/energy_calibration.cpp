#include "analysis/energy_calibration.h"

#include <algorithm>
#include <cmath>

#include "app/session.h"
#include "app/text_number.h"
#include "handlers/view_labels.h"

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

void EngCalibClick(Session& s) {
  const CalibrationPageFields& page = s.CalibrationPage;
  // The four fields in the order they are checked; the first that is not a
  // number stops the calibration with its own message.
  const std::pair<const std::string*, const char*> fields[] = {{&page.LowCh, kCalibLowChError},
                                                               {&page.HiCh, kCalibHighChError},
                                                               {&page.LoEng, kCalibLowEngError},
                                                               {&page.HiEng, kCalibHighEngError}};
  float values[4];
  for (size_t i = 0; i < 4; ++i) {
    const auto value = parseFloat(*fields[i].first);
    if (!value) {
      s.Texts.Edit1 = fields[i].second;
      return;
    }
    values[i] = *value;
  }
  const CalibrationLine line = computeCalibration(values[0], values[1], values[2], values[3]);
  if (line.outcome != CalibrationLine::Outcome::Computed) {
    // The old calibration stays.
    s.Texts.Edit1 = kCalibSameChError;
    return;
  }
  EnergyCalibration& cal = s.Calibration;
  cal.UnitText.fill('\0');
  std::copy_n(page.ChKev.begin(), std::min<size_t>(page.ChKev.size(), cal.UnitText.size() - 1), cal.UnitText.begin());
  cal.RefLowChannel = line.lowChannel;
  cal.RefHighChannel = line.highChannel;
  cal.RefLowEnergy = line.lowEnergy;
  cal.RefHighEnergy = line.highEnergy;
  cal.Gain = line.gain;
  cal.Offset = line.offset;
  cal.Valid = 1;
  ShowCursorEnergy(s);
}

void LowChChange(Session& s, const std::string& text) {
  s.CalibrationPage.LowCh = text;
  if (!parseFloat(text)) s.Texts.Edit1 = kTypedLowChError;
}

void HiChChange(Session& s, const std::string& text) {
  s.CalibrationPage.HiCh = text;
  if (!parseFloat(text)) s.Texts.Edit1 = kTypedHiChError;
}

}  // namespace tolvane
