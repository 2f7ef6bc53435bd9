#pragma once
// The binary spectrum file (.dat): the 1024-byte header image followed by
// the channel counts as little-endian signed 32-bit integers. Counts are
// taken in whole blocks of 512. This is the one reader of the format: File
// > Read, the command line, the batch, the standards of the fit and the
// fuzz targets all go through it, each with its rule (below).
#include <cstddef>
#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "files/atomic_file.h"
#include "files/file_write_outcome.h"
#include "records/spectrum_file_header.h"

namespace tolvane {

class Session;

inline constexpr int kFileBlockChannels = 512;
inline constexpr int kFileMaxBlocks = 16;
inline constexpr int kStandardMaxBlocks = 8;

// How a reader takes the blocks of counts.
enum class SpectrumReadRule {
  // File > Read and every spectrum a command reads: at most 16 blocks; a
  // header whose channel count differs from the whole blocks found refuses
  // the file.
  File,
  // The standard spectra of the quantitative fit: at most 8 blocks (4096
  // channels); a header count that differs is read as the blocks say, and
  // the caller warns of it.
  Standard,
};

// The bytes of a spectrum file.
std::vector<uint8_t> encodeSpectrumFile(const SpectrumFileHeader& header, const int32_t* counts, int channels);

// Reads a header and then whole 512-count blocks into `counts` (room for
// `capacity` channels; at most 16 blocks). Returns the channels read, M.
// A short header leaves the rest of `header` as it was.
int decodeSpectrumFile(std::istream& in, SpectrumFileHeader& header, int32_t* counts, int capacity);

// Fills a header image for writing `channels` channels: the maker text,
// the calibration (or the marker 1.0 for none), the 16 ROI windows and
// colours cut to 16 bits, and the preset, real and live times.
void fillHeaderForWrite(const Session& session, SpectrumFileHeader& header, int channels);
// Takes what a spectrum's header restores: the three times, the
// calibration unless the marker is 1.0, and the ROI windows and colours.
void takeHeaderValues(Session& session, const SpectrumFileHeader& header);
// Writes a header and counts to `path`, replacing the file in one step.
[[nodiscard]] bool writeSpectrumImage(const std::string& path, const SpectrumFileHeader& header, const int32_t* counts,
                                      int channels, IfTargetExists existing = IfTargetExists::Replace);
// The same bytes to a stream.
FileWriteOutcome writeSpectrumStream(std::ostream& out, const SpectrumFileHeader& header, const int32_t* counts,
                                     int channels);

// Writes the working spectrum to `path` once the path is chosen: names the
// spectrum after the file, fills the header image from the run state,
// calibration and ROI table, then replaces the file in one step.
FileWriteOutcome writeWorkingSpectrum(Session& session, const std::string& path,
                                      IfTargetExists existing = IfTargetExists::Replace);

// What reading a spectrum file gave: the spectrum, or why there is none.
struct [[nodiscard]] SpectrumFileRead {
  enum class Outcome {
    Read,        // a spectrum of `channels` channels
    CannotOpen,  // the file could not be opened, or is a folder
    Refused,     // no whole block of counts, or (File rule) the header's channel count disagrees with the blocks
  } outcome = Outcome::CannotOpen;
  int channels = 0;  // M: channels found in whole 512-count blocks
  SpectrumFileHeader header;
  std::vector<int32_t> counts;  // the M counts read
  bool ok() const { return outcome == Outcome::Read; }
  // Read by the Standard rule as the blocks say while the header says
  // otherwise.
  bool headerDisagrees() const { return ok() && header.channelCount() != channels; }
};

// The rule's verdict on a whole header whose channel count is
// `headerChannels` followed by `wholeBlocks` whole blocks of counts.
struct SpectrumBlocks {
  SpectrumFileRead::Outcome outcome = SpectrumFileRead::Outcome::Refused;
  int channels = 0;  // the channels taken: whole blocks, at most the rule's
};
SpectrumBlocks judgeSpectrumBlocks(int headerChannels, int64_t wholeBlocks, SpectrumReadRule rule);

// Reads a spectrum from a stream, a buffer or a path.
SpectrumFileRead readSpectrumStream(std::istream& in, SpectrumReadRule rule = SpectrumReadRule::File);
SpectrumFileRead readSpectrumBytes(const uint8_t* data, size_t size, SpectrumReadRule rule = SpectrumReadRule::File);
SpectrumFileRead readSpectrumPath(const std::string& path, SpectrumReadRule rule = SpectrumReadRule::File);

// What taking a good spectrum into the working record did besides
// showing it whole: the memory slot that received a copy (0 for none) and
// how many of the channels it could keep (a memory holds 4096).
struct SpectrumAdoption {
  int channels = 0;
  int memory = 0;
  int memoryKept = 0;
  bool memoryCut() const { return memory != 0 && memoryKept < channels; }
};

// The steps of a read that found a good spectrum of `channels` channels in
// the working record (header image, counts and name already in place):
// takes the header's times, calibration and ROI windows, shows the whole
// spectrum in the log view and copies it into the selected memory.
SpectrumAdoption adoptSpectrum(Session& session, int channels);

// A read taken into the session. Only a spectrum that was read changes
// anything: a file that could not be opened or was refused leaves the
// working spectrum with its data and its name.
struct [[nodiscard]] SpectrumFileTake {
  SpectrumFileRead::Outcome outcome = SpectrumFileRead::Outcome::CannotOpen;
  int channels = 0;  // M: channels found in whole blocks
  SpectrumAdoption adoption;
};
SpectrumFileTake takeSpectrumRead(Session& session, const std::string& path, const SpectrumFileRead& read);
// Reads `path` and takes it, as File > Read does once the path is chosen.
SpectrumFileTake readSpectrumInto(Session& session, const std::string& path);

}  // namespace tolvane
