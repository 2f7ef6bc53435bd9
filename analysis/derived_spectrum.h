#pragma once
// A spectrum made from others (a sum, a background-subtracted net): its
// header and counts as a spectrum file carries them, the variance of each
// channel where it is no longer the count itself, and how it was made. The
// spectra it was made from are only read.
#include <cstdint>
#include <string>
#include <vector>

#include "records/spectrum_file_header.h"

namespace tolvane {

// One spectrum taken part in: its header and counts, and the name it is
// known by (its file name).
struct SpectrumPart {
  SpectrumFileHeader header;
  std::vector<int32_t> counts;
  std::string name;
};

struct DerivedSpectrum {
  enum class Refusal {
    None,
    NoSpectra,           // nothing to add
    ChannelsDiffer,      // `part` has another channel count than the first
    CalibrationsDiffer,  // `part` has another energy calibration than the first
    CountOverflow,       // a channel's sum leaves the range of a 32-bit count
    TimeOverflow,        // the summed times leave the range of the header's fields
    NoLiveTime,          // the background (`part`) has no live time to scale by
  } refusal = Refusal::None;
  int part = 0;  // the spectrum the refusal is about (0-based)

  SpectrumFileHeader header;
  std::vector<int32_t> counts;
  std::vector<double> variance;  // per channel; empty when it is the count itself
  std::string description;       // how it was made, in full
  bool ok() const { return refusal == Refusal::None; }
};

// Whether two headers hold the same energy scale: both without a
// calibration, or gains within a millionth of each other and offsets
// within a thousandth of a channel.
bool calibrationsAgree(const SpectrumFileHeader& a, const SpectrumFileHeader& b);

// The reason a refusal gives, naming the parts ("b.dat has 2048 channels,
// a.dat 1024").
std::string describeRefusal(const DerivedSpectrum& derived, const std::vector<SpectrumPart>& parts);

// The header's 31-character comment: `full` when it fits, else `brief`
// (cut to fit).
std::string commentFitting(const std::string& full, const std::string& brief);

}  // namespace tolvane
