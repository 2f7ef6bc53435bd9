#include "files/exported_spectrum.h"

#include <algorithm>

#include "analysis/calibration_unit.h"
#include "app/session.h"

namespace tolvane {

float ExportedSpectrum::energy(int channel) const {
  const float c = static_cast<float>(channel);
  const float line = c * gain + offset;
  return quadratic == 0.0f ? line : line + c * c * quadratic;
}

double ExportedSpectrum::energyKev(int channel) const {
  const float e = energy(channel);
  return unit == EnergyUnit::EV ? static_cast<double>(e) / 1000.0 : static_cast<double>(e);
}

double ExportedSpectrum::gainKev() const {
  return unit == EnergyUnit::EV ? static_cast<double>(gain) / 1000.0 : static_cast<double>(gain);
}

double ExportedSpectrum::offsetKev() const {
  return unit == EnergyUnit::EV ? static_cast<double>(offset) / 1000.0 : static_cast<double>(offset);
}

double ExportedSpectrum::quadraticKev() const {
  return unit == EnergyUnit::EV ? static_cast<double>(quadratic) / 1000.0 : static_cast<double>(quadratic);
}

bool ExportedSpectrum::hasStartTime() const {
  return start.year >= 1 && start.year <= 9999 && start.month >= 1 && start.month <= 12 && start.day >= 1 &&
         start.day <= 31 && start.hour >= 0 && start.hour <= 23 && start.minute >= 0 && start.minute <= 59 &&
         start.second >= 0 && start.second <= 60;
}

std::string asciiOnly(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '?';
  return out;
}

ExportedSpectrum spectrumShown(const Session& s) {
  ExportedSpectrum e;
  const int n = std::clamp(s.Acquisition.ChannelCount, 0, s.Working.capacity());
  e.counts.assign(s.Working.Counts.begin(), s.Working.Counts.begin() + n);
  if (s.Calibration.Valid == 1) {
    // The numbers say the unit: the unit text may be left from another
    // spectrum, and a spectrum file keeps none.
    e.gain = s.Calibration.Gain;
    e.offset = s.Calibration.Offset;
    e.quadratic = s.Calibration.Quadratic;
    e.unit = calibrationUnit(e.gain, e.offset, n) == CalibrationUnit::EV ? EnergyUnit::EV : EnergyUnit::KeV;
  }
  e.presetTime = s.Acquisition.PresetTime;
  e.liveTime = s.Acquisition.LiveTime;
  e.realTime = s.Acquisition.RealTime;
  e.start = s.Working.Header.startTime();
  e.comment = s.Working.Header.comment();
  e.sampleId = s.Working.Header.sampleId();
  e.name = s.Working.Name;
  for (int i = 0; i < RoiTable::kEntries; ++i) {
    const RoiEntry& roi = s.Rois.Entries[static_cast<size_t>(i)];
    if (roi.Defined != 1) continue;
    const auto& label = roi.ElementLabel;
    e.rois.push_back(
        {i, std::string(label.data(), std::find(label.begin(), label.end(), '\0')), roi.LowChannel, roi.HighChannel});
  }
  return e;
}

}  // namespace tolvane
