#include "analysis/calibration_unit.h"

#include <algorithm>

namespace tolvane {

CalibrationUnit calibrationUnit(float gain, float offset, int32_t channels) {
  const float last = static_cast<float>(std::max(channels, 1) - 1);
  const double lastEnergy = static_cast<double>(last * gain + offset);
  return lastEnergy > kEvCalibrationAbove ? CalibrationUnit::EV : CalibrationUnit::KeV;
}

double KevCalibration::energyKev(double channel) const {
  const double e = static_cast<double>(static_cast<float>(channel) * gain + offset);
  return unit == CalibrationUnit::EV ? e / 1000.0 : e;
}

KevCalibration calibrationInKev(float gain, float offset, int32_t channels) {
  KevCalibration k;
  k.unit = calibrationUnit(gain, offset, channels);
  k.gain = gain;
  k.offset = offset;
  const double toKev = k.unit == CalibrationUnit::EV ? 1e-3 : 1.0;
  k.gainKev = static_cast<double>(gain) * toKev;
  k.offsetKev = static_cast<double>(offset) * toKev;
  return k;
}

}  // namespace tolvane
