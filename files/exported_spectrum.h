#pragma once
// The spectrum shown, as the export writers see it: the counts, the energy
// scale, the times and the texts of its header, taken apart from the
// Session so each format's writer is a plain function of this record.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "records/spectrum_file_header.h"

namespace tolvane {

class Session;

// The calibration's energy unit as other programs name it.
enum class EnergyUnit { None, KeV, EV };

struct ExportedRoi {
  int index = 0;
  std::string label;
  int32_t low = 0;
  int32_t high = 0;
};

struct ExportedSpectrum {
  // Channel contents as the analyser counts them: a 32-bit word that is
  // never negative (0xFFFFFFFF is 4294967295 counts, not -1).
  std::vector<uint32_t> counts;
  EnergyUnit unit = EnergyUnit::None;                  // None: no valid calibration; else eV or keV by its size
  float gain = 0.0f;                                   // energy per channel in that unit
  float offset = 0.0f;                                 // energy of channel 0
  float quadratic = 0.0f;                              // energy per channel squared; 0 for a straight line
  int32_t presetTime = 0, liveTime = 0, realTime = 0;  // tenths of a second
  SpectrumFileHeader::StartTime start;
  std::string comment;
  std::string sampleId;
  std::string name;
  std::vector<ExportedRoi> rois;  // the entries that were ever defined

  bool calibrated() const { return unit != EnergyUnit::None; }
  // The energy of channel c in keV, single precision as the readout computes
  // it, then scaled from eV when that is the unit (double).
  double energyKev(int channel) const;
  // The energy of channel c in the calibration's unit, single precision.
  float energy(int channel) const;
  // Gain and offset in keV (eV divided by 1000).
  double gainKev() const;
  double offsetKev() const;
  double quadraticKev() const;
  // Whether the header's start date and time form a real calendar moment.
  bool hasStartTime() const;
};

// The spectrum shown (the MCA slot's or the selected memory's working
// copy): counts 0 .. ChannelCount-1, the calibration in force, the run's
// times and the header's texts.
ExportedSpectrum spectrumShown(const Session& session);

// Text that is plain printable ASCII: other bytes become '?'.
std::string asciiOnly(const std::string& text);

}  // namespace tolvane
