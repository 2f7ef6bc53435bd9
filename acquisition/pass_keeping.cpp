#include "acquisition/pass_keeping.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "acquisition/pass_files.h"
#include "app/session.h"
#include "files/spectrum_file.h"

namespace tolvane {

namespace {

std::string labelText(const std::array<char, 32>& field) {
  return std::string(field.data(), strnlen(field.data(), field.size()));
}

// The file the pass numbered `number` goes to. A file that appeared since
// the scan started (or a save path changed during the scan) moves the
// numbering on past it: a pass never replaces an existing file.
std::string passPathFor(Session& s, int64_t& number) {
  PassFiles& passes = s.Passes;
  std::string path = passFilePath(passes.SavePath, number, passes.Digits);
  std::error_code error;
  if (passes.SavePath != s.Scan.SavePath || std::filesystem::exists(std::filesystem::symlink_status(path, error))) {
    passes.SavePath = s.Scan.SavePath;
    number = std::max(number, highestPassFile(passes.SavePath) + 1);
    passes.Digits = std::max(passes.Digits, passFileDigits(number));
    passes.NextNumber = number + 1;
    path = passFilePath(passes.SavePath, number, passes.Digits);
  }
  return path;
}

// Local time `seconds` before `t`, across minute, day and month ends.
LocalDateTime secondsBefore(const LocalDateTime& t, int64_t seconds) {
  std::tm parts{};
  parts.tm_year = t.Year - 1900;
  parts.tm_mon = t.Month - 1;
  parts.tm_mday = t.Day;
  parts.tm_hour = t.Hour;
  parts.tm_min = t.Minute;
  parts.tm_sec = t.Second;
  parts.tm_isdst = -1;
  const std::time_t when = std::mktime(&parts);
  if (when == static_cast<std::time_t>(-1)) return t;
  const std::time_t earlier = when - static_cast<std::time_t>(seconds);
  std::tm out{};
  if (!localtime_r(&earlier, &out)) return t;
  return {out.tm_year + 1900, out.tm_mon + 1, out.tm_mday, out.tm_hour, out.tm_min, out.tm_sec};
}

// When the pass just fetched began: one dwell before it ended, and it
// ended as long before this fetch as the status block says the analyser
// has counted into the next pass (when that is less than a dwell).
LocalDateTime passStart(const Session& s) {
  const int64_t dwellMs = int64_t{s.Scan.PresetTime} * 100;
  const int64_t intoNextMs = int64_t{s.Acquisition.Status.realTimeTicks()} * 10;
  const int64_t agoMs = dwellMs + (intoNextMs >= 0 && intoNextMs < dwellMs ? intoNextMs : 0);
  return secondsBefore(s.LocalTime(), (agoMs + 500) / 1000);
}

// The header of the pass just fetched, stamped with the time the pass
// began. It starts from the MCA slot's, not from whatever file was read
// last; its times are the dwell of one pass, its live time that less the
// dead time of the counts the pass recorded, and it carries the
// calibration and ROIs in force.
SpectrumFileHeader passHeader(const Session& s) {
  const int n = std::clamp(s.Acquisition.ChannelCount, 0, s.Working.capacity());
  uint64_t total = 0;
  for (int c = 0; c < n; ++c) total += static_cast<uint32_t>(s.Working.Counts[static_cast<size_t>(c)]);
  SpectrumFileHeader header = s.AcquisitionTemplate;
  fillHeaderForWrite(s, header, n);
  // The labels the user gave acquisitions in the MCA setup, not those of
  // a file read since.
  header.setComment(labelText(s.Mca.Comment));
  header.setSampleId(labelText(s.Mca.SampleId));
  const LocalDateTime start = passStart(s);
  header.setStartTime({static_cast<int16_t>(start.Year), static_cast<int16_t>(start.Month),
                       static_cast<int16_t>(start.Day), static_cast<int16_t>(start.Hour),
                       static_cast<int16_t>(start.Minute), static_cast<int16_t>(start.Second)});
  const int32_t dwell = s.Scan.PresetTime;
  header.setPresetTime(dwell);
  header.setRealTime(dwell);
  header.setLiveTime(static_cast<int32_t>(
      std::trunc(static_cast<double>(dwell) -
                 static_cast<double>(total) * static_cast<double>(s.Mca.DeadTimePerEvent) * 0.00001)));
  return header;
}

// The working spectrum now holds the pass: it is named after the scan, and
// its header and times become the pass's, so the plot's readouts and a
// File > Write after the scan tell the pass's times, not those of the run
// or file before the scan.
void adoptPass(Session& s, const SpectrumFileHeader& header) {
  s.Working.setName("ZORV");
  s.Working.Header = header;
  s.Acquisition.PresetTime = header.presetTime();
  s.Acquisition.RealTime = header.realTime();
  s.Acquisition.LiveTime = header.liveTime();
}

}  // namespace

KeptPass KeepPass(Session& s, MappingTickOutcome pass) {
  int64_t number = s.Passes.NextNumber++;
  if (pass == MappingTickOutcome::PassLost) {
    ++s.Passes.LostPasses;
    return {PassKeep::Lost, {}};
  }
  const SpectrumFileHeader header = passHeader(s);
  adoptPass(s, header);
  if (s.Scan.SavePath.empty()) return {PassKeep::NotSaving, {}};
  std::string path = passPathFor(s, number);
  // Past the last number a pass would get a name no later scan sees as
  // taken: it is not saved.
  if (number > kLastPassNumber) return {PassKeep::NumbersUsedUp, std::move(path)};
  const bool saved = writeSpectrumImage(path, header, s.Working.Counts.data(), header.channelCount());
  if (!saved) ++s.Passes.UnsavedPasses;  // the scan goes on
  return {saved ? PassKeep::Saved : PassKeep::WriteFailed, std::move(path)};
}

}  // namespace tolvane
