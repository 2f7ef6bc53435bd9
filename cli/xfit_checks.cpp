#include "cli/xfit_checks.h"

#include <cmath>

#include "cli/cli_error.h"
#include "cli/file_session.h"
#include "xfit/standard_table.h"

namespace tolvane::cli {

namespace {

std::string standardName(const StandardInUse& s) {
  return "standard No." + std::to_string(s.index + 1) + " (" + s.element + ")";
}

// The calibration a header carries, as File > Read takes it.
std::optional<std::pair<float, float>> calibrationOf(const SpectrumFileHeader& h) {
  if (h.calibrationMarker() == 1.0f || h.gain() == 0.0f || !std::isfinite(h.gain()) || !std::isfinite(h.offset()))
    return std::nullopt;
  return std::pair{h.gain(), h.offset()};
}

std::string seconds(int32_t tenths) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", tenths / 10.0);
  return text;
}

}  // namespace

std::optional<int> refuseStandards(const std::string& table, const StandardsCheck& check) {
  using Outcome = StandardsCheck::Outcome;
  switch (check.outcome) {
    case Outcome::Ready:
      return std::nullopt;
    case Outcome::TableNotFound:
      return fail(code::kNotFound, "table not found: " + table + " (" + unreadableReason(table) + ")");
    case Outcome::NotATable:
      if (isFolder(table)) return fail(code::kNotFound, "cannot open " + table + ": is a folder");
      return fail(code::kRefused, table + " is not a table: " + std::to_string(check.tableSize) +
                                      " bytes where a table has " + std::to_string(StandardTable::kFileSize));
    case Outcome::NoStandardInUse:
      return fail(code::kRefused, "no standard in use in " + table);
    case Outcome::StandardMissing: {
      const StandardInUse& s = check.standards.back();
      return fail(code::kNotFound, standardName(s) + " of " + table + ": spectrum file missing: " + s.path);
    }
    case Outcome::StandardRefused: {
      const StandardInUse& s = check.standards.back();
      return fail(code::kRefused, standardName(s) + " of " + table +
                                      ": spectrum file refused: " + refusedSpectrumMessage(s.path, s.read));
    }
  }
  return fail(code::kFailed, "cannot load the standards of " + table);
}

std::vector<std::string> sampleWarnings(const SpectrumFileRead& sample, const StandardsCheck& check) {
  // One warning per cause, naming every standard it concerns: ten standards
  // measured alike should not give ten lines that say the same.
  std::vector<std::string> otherChannels, otherCalibration, otherLiveTime;
  const auto sampleCalibration = calibrationOf(sample.header);
  for (const StandardInUse& s : check.standards) {
    if (s.read.channels != sample.channels)
      otherChannels.push_back(standardName(s) + " has " + std::to_string(s.read.channels));
    if (calibrationOf(s.read.header) != sampleCalibration) otherCalibration.push_back(standardName(s));
    if (s.read.header.liveTime() != sample.header.liveTime())
      otherLiveTime.push_back(standardName(s) + " " + seconds(s.read.header.liveTime()));
  }
  const auto joined = [](const std::vector<std::string>& parts) {
    std::string text;
    for (size_t i = 0; i < parts.size(); ++i) text += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
    return text;
  };
  std::vector<std::string> warnings;
  if (!otherChannels.empty())
    warnings.push_back("the sample has " + std::to_string(sample.channels) + " channels, " + joined(otherChannels) +
                       ": the fit windows do not mean the same energies");
  if (!otherCalibration.empty())
    warnings.push_back("the sample and " + joined(otherCalibration) + " carry different energy calibrations");
  if (!otherLiveTime.empty())
    warnings.push_back("live times differ: sample " + seconds(sample.header.liveTime()) + ", " +
                       joined(otherLiveTime) + "; the K-ratio is a count ratio, kratio_pct_lt is per live time");
  return warnings;
}

std::optional<double> liveTimeKratio(double kratioPct, const SpectrumFileRead& sample, const StandardInUse& standard) {
  const int32_t sampleLive = sample.header.liveTime(), standardLive = standard.read.header.liveTime();
  if (sampleLive <= 0 || standardLive <= 0) return std::nullopt;
  return kratioPct * static_cast<double>(standardLive) / static_cast<double>(sampleLive);
}

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

}  // namespace tolvane::cli
