#include "cli/calibration_into_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "cli/cli_error.h"
#include "cli/file_session.h"
#include "files/atomic_file.h"
#include "files/output_path.h"
#include "files/spectrum_file.h"
#include "records/spectrum_file_header.h"

namespace tolvane::cli {

namespace {

// A spectrum file is at most the header and 16 blocks of 512 counts; a
// file much larger is no spectrum and is not read whole.
constexpr std::streamoff kLargestSpectrumFile = SpectrumFileHeader::kSize + 64 * 1024 * 1024;

}  // namespace

bool writeCalibrationInto(const std::string& path, float gain, float offset, int32_t* channels, float quadratic) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (isFolder(path) || !in) return fail(code::kNotFound, "cannot open " + path + ": " + unreadableReason(path)) == 0;
  // A device or pipe has no end to read and cannot be rewritten in place of
  // a spectrum file.
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error))
    return fail(code::kRefused, path + " is not a spectrum file: not a regular file") == 0;
  if (in.tellg() > kLargestSpectrumFile)
    return fail(code::kRefused, path + " is too large for a spectrum file") == 0;
  in.seekg(0);
  std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const SpectrumFileRead read = readSpectrumBytes(bytes.data(), bytes.size());
  if (!read.ok()) return fail(code::kRefused, refusedSpectrumMessage(path, read)) == 0;
  if (const OutputProblem problem = checkOutputPath(path); problem != OutputProblem::None)
    return fail(code::kOutput, "cannot write " + path + ": " + outputProblemText(problem)) == 0;

  // The header as it is, with only the calibration fields changed (and the
  // quadratic term's block, when there is or was one).
  SpectrumFileHeader header;
  std::copy_n(bytes.begin(), SpectrumFileHeader::kSize, header.bytes().begin());
  header.setCalibrationMarker(0.0f);
  header.setGain(gain);
  header.setOffset(offset);
  header.setQuadratic(quadratic);
  std::copy(header.bytes().begin(), header.bytes().end(), bytes.begin());
  std::string reason;
  if (!writeFileAtomically(path, bytes.data(), bytes.size(), &reason))
    return fail(code::kOutput, "cannot write " + path + ": " + reason) == 0;
  if (channels) *channels = read.channels;
  return true;
}

}  // namespace tolvane::cli
