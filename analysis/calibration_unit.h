#pragma once
// The unit of an energy calibration, told from its numbers. A calibration
// is two numbers, gain and offset, in whatever unit the user typed the
// reference energies; the spectrum file keeps no unit text, and the unit
// field of the calibration page keeps its text from one spectrum to the
// next, so neither says what a file's numbers mean. An X-ray spectrum of
// this analyser ends above about 1000 eV when calibrated in eV and far
// below 500 keV when calibrated in keV (4096 channels at 0.05 keV end at
// 204.8), so: a calibration that puts the spectrum's last channel above
// 500 is in eV, any other in keV. Every place that turns a calibration into keV (lines,
// peaks, exports, the resolution fit) goes through calibrationInKev, so
// one spectrum calibrated in eV or in keV gives the same energies.
#include <cstdint>

namespace tolvane {

enum class CalibrationUnit { KeV, EV };

// Above this energy of the last channel the calibration is in eV.
inline constexpr double kEvCalibrationAbove = 500.0;

// The unit of E(c) = c x gain + offset for a spectrum of `channels`
// channels (the last channel is channels - 1; fewer than one counts as one).
CalibrationUnit calibrationUnit(float gain, float offset, int32_t channels);

struct KevCalibration {
  CalibrationUnit unit = CalibrationUnit::KeV;
  double gainKev = 0.0;    // keV per channel
  double offsetKev = 0.0;  // keV at channel 0
  double quadraticKev = 0.0;  // keV per channel squared
  // E(c) in single precision as the readout computes it, in the
  // calibration's unit, then converted to keV.
  double energyKev(double channel) const;
  float gain = 0.0f, offset = 0.0f, quadratic = 0.0f;  // as stored, in `unit`
};

// The calibration in keV. The numbers are taken as they are; whether they
// are finite and increasing is for the caller to check.
// A quadratic term, when the calibration has one, is converted alike.
KevCalibration calibrationInKev(float gain, float offset, int32_t channels, float quadratic = 0.0f);

}  // namespace tolvane
