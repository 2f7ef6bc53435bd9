#pragma once
// calib --write: a two-point calibration stored in a spectrum file's
// header, so that later commands find it there instead of needing --gain.
#include <cstdint>
#include <optional>
#include <string>

namespace tolvane::cli {

// Stores the calibration in the spectrum file at `path`: the marker 0.0
// (a calibration is stored), the gain and the offset; every other byte is
// kept, and the file is replaced in one step. The file must be a readable
// spectrum. Prints why (not_found, refused or output) and returns false
// when it is not written. `channels`, when given, receives the file's
// channel count (the calibration's unit follows from its range there).
// A quadratic term other than 0 is stored beside the line (see
// SpectrumFileHeader::setQuadratic); 0 removes one stored before.
[[nodiscard]] bool writeCalibrationInto(const std::string& path, float gain, float offset, int32_t* channels = nullptr,
                                        float quadratic = 0.0f);

}  // namespace tolvane::cli
