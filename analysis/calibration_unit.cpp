#include "analysis/calibration_unit.h"

#include <algorithm>

namespace tolvane {

CalibrationUnit calibrationUnit(float gain, float offset, int32_t channels) {
  const float last = static_cast<float>(std::max(channels, 1) - 1);
  const double lastEnergy = static_cast<double>(last * gain + offset);
  return lastEnergy > kEvCalibrationAbove ? CalibrationUnit::EV : CalibrationUnit::KeV;
}

double KevCalibration::energyKev(double channel) const {
  const float c = static_cast<float>(channel);
  float line = c * gain + offset;
  if (quadratic != 0.0f) line = line + c * c * quadratic;
  const double e = static_cast<double>(line);
  return unit == CalibrationUnit::EV ? e / 1000.0 : e;
}

KevCalibration calibrationInKev(float gain, float offset, int32_t channels, float quadratic) {
  KevCalibration k;
  k.unit = calibrationUnit(gain, offset, channels);
  k.gain = gain;
  k.offset = offset;
  k.quadratic = quadratic;
  const double toKev = k.unit == CalibrationUnit::EV ? 1e-3 : 1.0;
  k.gainKev = static_cast<double>(gain) * toKev;
  k.offsetKev = static_cast<double>(offset) * toKev;
  k.quadraticKev = static_cast<double>(quadratic) * toKev;
  return k;
}

}  // namespace tolvane
