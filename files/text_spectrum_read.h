#pragma once
// What the readers of other programs' text spectra (the MCA text format of
// small USB analysers, text and CSV columns, SPEC files with MCA data)
// give: the spectrum, in the record File > Import loads (the EMSA reader's),
// or the reason it is refused with the line it was found on. The pieces
// they share: lines with their numbers, numbers in the C locale, and the
// checks every count and time passes.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/emsa_reader.h"

namespace tolvane {

struct TextSpectrumRead {
  std::string refusal;  // empty when the spectrum was read
  int line = 0;         // 1-based line of the refusal
  EmsaSpectrum spectrum;
  std::vector<std::string> warnings;  // accepted, but worth saying
  bool ok() const { return refusal.empty(); }
  // "line 12: a count below zero"
  std::string describe() const;
};

// The text cut into lines (LF, CR LF or CR ends), each without its end.
std::vector<std::string_view> textLines(std::string_view text);

std::string_view trimmed(std::string_view text);
std::string upperCase(std::string_view text);

// A finite number in decimal or exponent form, the whole token; "+7" too.
std::optional<double> numberIn(std::string_view token);

// The fields of a line: split at commas or semicolons when it has any
// (each field trimmed, an empty one kept as ""), else at runs of blanks
// and tabs.
std::vector<std::string_view> fieldsOf(std::string_view line);

// Adds one count to `spectrum`: refuses (into `read`, with `line`) a count
// below zero, above 4294967295 or past 8192 points; rounds one that is not
// whole. False when refused.
bool addCount(TextSpectrumRead& read, double value, int line);

// Seconds as tenths, rounded; nullopt for a negative or huge value.
std::optional<int32_t> tenthsOf(double seconds);

// Sets the energy scale from a gain and offset in keV; a gain that is not
// above zero leaves the spectrum uncalibrated.
void setScaleKev(EmsaSpectrum& spectrum, double gainKev, double offsetKev);

// A refusal, returned for the reader's convenience.
TextSpectrumRead refused(std::string reason, int line);

}  // namespace tolvane
