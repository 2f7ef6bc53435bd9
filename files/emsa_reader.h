#pragma once
// Reads EMSA/MAS spectral data files as other programs write them: Y or XY
// data separated by commas, blanks or tabs, numbers in any decimal or
// exponent form, keywords in any case with or without a "-unit" suffix,
// CR LF or LF line ends, optional keywords missing. A file that cannot be
// a spectrum is refused with the reason and the line it was found on.
// What other readers accept is accepted with a warning: more values than
// #NPOINTS says (all are kept), and XY data whose X column disagrees with
// #XPERCHAN and #OFFSET (the X column's scale is kept).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/spectrum_file_header.h"

namespace tolvane {

inline constexpr int kEmsaMaxPoints = 8192;

enum class EmsaRefusal {
  NoSpectrum,     // no #SPECTRUM line
  NoData,         // no values after #SPECTRUM
  TooFewValues,   // fewer values than #NPOINTS
  TextInData,     // a data item that is not a number
  UnpairedValue,  // an XY line without its pair
  NegativeCount,  // a count below zero
  HugeCount,      // a count above what a 32-bit channel holds
  TooManyPoints,  // #NPOINTS (or the values found) above 8192
  BadPointCount,  // #NPOINTS not a whole number above zero
  BadNumber,      // a keyword number that is not a finite number in range
};

struct EmsaRoi {
  int index = 0;
  std::string label;
  int32_t low = 0, high = 0;
};

struct EmsaSpectrum {
  std::vector<uint32_t> counts;  // exactly the points of the file
  bool rounded = false;          // some count was not a whole number
  bool calibrated = false;       // an energy scale in eV or keV was found
  float gainKev = 0.0f;
  float offsetKev = 0.0f;
  // #NPOINTS when the data hold more values than it says (they are all
  // kept); 0 otherwise.
  int declaredPoints = 0;
  // The X column of XY data strays from #XPERCHAN and #OFFSET by this
  // many channels at most (above half a channel the scale above is the
  // X column's straight line), with the file's own gain and offset in keV.
  double xColumnStrayChannels = 0.0;
  bool scaleFromXColumn = false;
  float declaredGainKev = 0.0f, declaredOffsetKev = 0.0f;
  std::optional<int32_t> liveTime, realTime, presetTime;  // tenths of a second, rounded
  std::optional<SpectrumFileHeader::StartTime> start;
  std::string title;
  std::string sampleId;
  std::vector<EmsaRoi> rois;
};

struct [[nodiscard]] EmsaReadOutcome {
  std::optional<EmsaRefusal> refusal;  // empty when the spectrum was read
  int line = 0;                        // 1-based line of the refusal
  EmsaSpectrum spectrum;

  bool ok() const { return !refusal; }
};

EmsaReadOutcome readEmsa(std::string_view bytes);

// "line 12: text in data" and the like.
std::string describeEmsaRefusal(const EmsaReadOutcome& outcome);

// What the reader accepted that the file's own keywords contradict, one
// sentence each ("#NPOINTS is 20 but the data hold 21 values: all 21 are
// kept"); empty when nothing was.
std::vector<std::string> emsaWarnings(const EmsaSpectrum& spectrum);

}  // namespace tolvane
