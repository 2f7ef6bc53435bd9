#pragma once
// The per-channel variance of a derived spectrum (a background-subtracted
// net), kept beside its spectrum file: NET.dat gets NET.var. The spectrum
// file's own layout has no room for it, so readers of spectrum files see
// nothing new. The variance file is text: lines starting with '#' are
// comments (the first names the spectrum and how it was made), then one
// number per line, channel 0 first, one line per channel of the spectrum.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/file_write_outcome.h"

namespace tolvane {

// NET.dat -> NET.var (the extension replaced, or ".var" added).
std::string variancePathFor(const std::string& spectrumPath);

std::string varianceText(const std::vector<double>& variance, const std::string& spectrumName,
                         const std::string& description);

// Replaces the file at `path` in one step; false (and `error`) when it cannot.
bool writeVarianceFile(const std::string& path, const std::vector<double>& variance, const std::string& spectrumName,
                       const std::string& description, std::string* error = nullptr);

struct VarianceRead {
  std::vector<double> variance;
  int badLine = 0;  // 1-based line that is not a number of at least 0; 0 when read
  bool ok() const { return badLine == 0; }
};
VarianceRead readVariance(std::string_view text);

// The variance beside a spectrum file, when there is one holding exactly
// `channels` values; nullopt otherwise.
std::optional<std::vector<double>> varianceBeside(const std::string& spectrumPath, size_t channels);

}  // namespace tolvane
