#include "files/spectrum_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string_view>

#include "app/session.h"
#include "files/atomic_file.h"
#include "records/little_endian.h"
#include "files/path_name.h"

namespace tolvane {

std::vector<uint8_t> encodeSpectrumFile(const SpectrumFileHeader& header, const int32_t* counts, int channels) {
  channels = std::max(channels, 0);
  std::vector<uint8_t> bytes(SpectrumFileHeader::kSize + 4 * static_cast<size_t>(channels));
  std::copy(header.bytes().begin(), header.bytes().end(), bytes.begin());
  for (int c = 0; c < channels; ++c)
    storeI32(&bytes[SpectrumFileHeader::kSize + 4 * static_cast<size_t>(c)], counts[c]);
  return bytes;
}

int decodeSpectrumFile(std::istream& in, SpectrumFileHeader& header, int32_t* counts, int capacity) {
  std::array<uint8_t, SpectrumFileHeader::kSize> image;
  in.read(reinterpret_cast<char*>(image.data()), image.size());
  std::copy_n(image.begin(), static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)), header.bytes().begin());
  if (!in) return 0;

  const int maxBlocks = std::min(kFileMaxBlocks, capacity / kFileBlockChannels);
  std::array<uint8_t, 4 * kFileBlockChannels> block;
  int blocks = 0;
  while (blocks < maxBlocks) {
    in.read(reinterpret_cast<char*>(block.data()), block.size());
    if (in.gcount() != static_cast<std::streamsize>(block.size())) break;  // a partial block is not counted
    int32_t* dest = counts + static_cast<ptrdiff_t>(blocks) * kFileBlockChannels;
    for (int i = 0; i < kFileBlockChannels; ++i) dest[i] = loadI32(&block[4 * static_cast<size_t>(i)]);
    ++blocks;
  }
  return blocks * kFileBlockChannels;
}

void fillHeaderForWrite(const Session& s, SpectrumFileHeader& h, int channels) {
  h.setChannelCount(static_cast<int16_t>(channels));
  h.setMakerText();
  if (s.Calibration.Valid == 1) {
    h.setCalibrationMarker(0.0f);
    h.setGain(s.Calibration.Gain);
    h.setOffset(s.Calibration.Offset);
    h.setQuadratic(s.Calibration.Quadratic);
  } else {
    h.setCalibrationMarker(1.0f);
    h.setGain(0.0f);
  }
  for (int i = 0; i < SpectrumFileHeader::kRoiSlots; ++i) {
    const RoiEntry& roi = s.Rois.Entries[static_cast<size_t>(i)];
    h.setRoiLow(i, static_cast<int16_t>(roi.LowChannel));
    h.setRoiHigh(i, static_cast<int16_t>(roi.HighChannel));
    h.setRoiColour(i, static_cast<int16_t>(roi.Colour));
  }
  h.setLiveTime(s.Acquisition.LiveTime);
  h.setRealTime(s.Acquisition.RealTime);
  h.setPresetTime(s.Acquisition.PresetTime);
}

void takeHeaderValues(Session& s, const SpectrumFileHeader& h) {
  s.Acquisition.PresetTime = h.presetTime();
  s.Acquisition.RealTime = h.realTime();
  s.Acquisition.LiveTime = h.liveTime();
  // A marker other than 1.0 means a calibration is stored, but a header
  // whose gain is 0 (or not a number) carries none: a blank header, such as
  // the MCA slot's before any setup, must not wipe the calibration in force.
  if (h.calibrationMarker() != 1.0f && h.gain() != 0.0f && std::isfinite(h.gain()) && std::isfinite(h.offset())) {
    s.Calibration.Gain = h.gain();
    s.Calibration.Offset = h.offset();
    s.Calibration.Quadratic = h.quadratic();
    s.Calibration.Valid = 1;
  }
  for (int i = 0; i < SpectrumFileHeader::kRoiSlots; ++i) {
    RoiEntry& roi = s.Rois.Entries[static_cast<size_t>(i)];
    roi.LowChannel = h.roiLow(i);
    roi.HighChannel = h.roiHigh(i);
    roi.Colour = static_cast<Colour24>(static_cast<int32_t>(h.roiColour(i)));
  }
}

bool writeSpectrumImage(const std::string& path, const SpectrumFileHeader& header, const int32_t* counts,
                        int channels, IfTargetExists existing) {
  const std::vector<uint8_t> bytes = encodeSpectrumFile(header, counts, channels);
  return writeFileAtomically(path, bytes.data(), bytes.size(), nullptr, existing);
}

FileWriteOutcome writeSpectrumStream(std::ostream& out, const SpectrumFileHeader& header, const int32_t* counts,
                                     int channels) {
  const std::vector<uint8_t> bytes = encodeSpectrumFile(header, counts, channels);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  return out ? FileWriteOutcome::Written : FileWriteOutcome::WriteFailed;
}

FileWriteOutcome writeWorkingSpectrum(Session& s, const std::string& path, IfTargetExists existing) {
  s.LastPath = path.substr(0, Session::kMaxPathLength);
  s.Working.setName(fileNameOf(path));
  const int n = std::clamp(s.Acquisition.ChannelCount, 0, s.Working.capacity());
  fillHeaderForWrite(s, s.Working.Header, n);
  return writeSpectrumImage(path, s.Working.Header, s.Working.Counts.data(), n, existing) ? FileWriteOutcome::Written
                                                                                : FileWriteOutcome::WriteFailed;
}

namespace {

// Copies the working spectrum into the memory the radio buttons select, as
// much of it as the memory holds.
void copyIntoSelectedMemory(Session& s, SpectrumAdoption& adoption) {
  if (s.SelectedMemory < 1 || s.SelectedMemory > 3) return;
  SpectrumRecord& memory = s.Memories[static_cast<size_t>(s.SelectedMemory - 1)];
  const int kept = std::min(adoption.channels, memory.capacity());
  std::copy_n(s.Working.Counts.begin(), kept, memory.Counts.begin());
  memory.Header = s.Working.Header;
  memory.setName(s.Working.Name);
  adoption.memory = s.SelectedMemory;
  adoption.memoryKept = kept;
}

}  // namespace

SpectrumBlocks judgeSpectrumBlocks(int headerChannels, int64_t wholeBlocks, SpectrumReadRule rule) {
  const int most = rule == SpectrumReadRule::File ? kFileMaxBlocks : kStandardMaxBlocks;
  SpectrumBlocks b;
  b.channels = static_cast<int>(std::clamp<int64_t>(wholeBlocks, 0, most)) * kFileBlockChannels;
  // No whole block is never a spectrum, whatever the header says.
  if (b.channels == 0) return b;
  if (rule == SpectrumReadRule::File && headerChannels != b.channels) return b;
  b.outcome = SpectrumFileRead::Outcome::Read;
  return b;
}

SpectrumFileRead readSpectrumStream(std::istream& in, SpectrumReadRule rule) {
  SpectrumFileRead r;
  const int most = rule == SpectrumReadRule::File ? kFileMaxBlocks : kStandardMaxBlocks;
  r.counts.resize(static_cast<size_t>(kFileBlockChannels * most));
  const int m = decodeSpectrumFile(in, r.header, r.counts.data(), static_cast<int>(r.counts.size()));
  const SpectrumBlocks verdict = judgeSpectrumBlocks(r.header.channelCount(), m / kFileBlockChannels, rule);
  r.outcome = verdict.outcome;
  r.channels = verdict.channels;
  r.counts.resize(static_cast<size_t>(r.channels));
  return r;
}

SpectrumFileRead readSpectrumBytes(const uint8_t* data, size_t size, SpectrumReadRule rule) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  return readSpectrumStream(in, rule);
}

SpectrumFileRead readSpectrumPath(const std::string& path, SpectrumReadRule rule) {
  // A folder opens as a stream of no bytes on some systems: it is no file
  // to read, not a file whose header disagrees with its counts.
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return {};
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return readSpectrumStream(in, rule);
}

SpectrumFileTake takeSpectrumRead(Session& s, const std::string& path, const SpectrumFileRead& read) {
  SpectrumFileTake take{read.outcome, read.channels, {}};
  if (!read.ok()) return take;
  s.LastPath = path.substr(0, Session::kMaxPathLength);
  s.Working.setName(fileNameOf(path));
  s.Working.Header = read.header;
  const size_t kept = std::min(read.counts.size(), s.Working.Counts.size());
  std::copy_n(read.counts.begin(), kept, s.Working.Counts.begin());
  take.adoption = adoptSpectrum(s, read.channels);
  return take;
}

SpectrumFileTake readSpectrumInto(Session& s, const std::string& path) {
  return takeSpectrumRead(s, path, readSpectrumPath(path));
}

SpectrumAdoption adoptSpectrum(Session& s, int m) {
  SpectrumAdoption adoption;
  adoption.channels = m;
  takeHeaderValues(s, s.Working.Header);
  s.Acquisition.ChannelCount = m;
  s.Display.FirstShown = 0;
  s.Display.LastShown = m - 1;
  s.Display.Cursor = m / 2;
  s.Display.LogScale = true;  // a spectrum read is shown in the log view
  copyIntoSelectedMemory(s, adoption);
  return adoption;
}

}  // namespace tolvane
