#include "analysis/energy_calibration.h"

#include <algorithm>
#include <cmath>

#include "app/session.h"
#include "app/text_number.h"

namespace tolvane {

float channelEnergy(float gain, float offset, float channel) { return channel * gain + offset; }

void EngCalibClick(Session& s) {
  const CalibrationPageFields& page = s.CalibrationPage;
  const auto lowCh = parseReal(page.LowCh);
  if (!lowCh) {
    s.Texts.Edit1 = kCalibLowChError;
    return;
  }
  const auto highCh = parseReal(page.HiCh);
  if (!highCh) {
    s.Texts.Edit1 = kCalibHighChError;
    return;
  }
  const auto lowEnergy = parseReal(page.LoEng);
  if (!lowEnergy) {
    s.Texts.Edit1 = kCalibLowEngError;
    return;
  }
  const auto highEnergy = parseReal(page.HiEng);
  if (!highEnergy) {
    s.Texts.Edit1 = kCalibHighEngError;
    return;
  }
  const auto rlc = static_cast<float>(*lowCh), rhc = static_cast<float>(*highCh);
  const auto rle = static_cast<float>(*lowEnergy), rhe = static_cast<float>(*highEnergy);
  const float gain = (rhe - rle) / (rhc - rlc);
  if (rhc == rlc || !std::isfinite(gain)) {
    // Two equal channels define no line; the old calibration stays.
    s.Texts.Edit1 = kCalibSameChError;
    return;
  }
  EnergyCalibration& cal = s.Calibration;
  cal.UnitText.fill('\0');
  std::copy_n(page.ChKev.begin(), std::min<size_t>(page.ChKev.size(), cal.UnitText.size() - 1), cal.UnitText.begin());
  cal.RefLowChannel = rlc;
  cal.RefHighChannel = rhc;
  cal.RefLowEnergy = rle;
  cal.RefHighEnergy = rhe;
  cal.Gain = gain;
  cal.Offset = rhe - gain * rhc;
  cal.Valid = 1;
}

void LowChChange(Session& s, const std::string& text) {
  s.CalibrationPage.LowCh = text;
  if (!parseReal(text)) s.Texts.Edit1 = kTypedLowChError;
}

void HiChChange(Session& s, const std::string& text) {
  s.CalibrationPage.HiCh = text;
  if (!parseReal(text)) s.Texts.Edit1 = kTypedHiChError;
}

}  // namespace tolvane
