#include "files/pmca_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tolvane {

namespace {

enum class Section { Header, Calibration, Data, After };

// "TAG - value": the tag upper-cased and the value; no " - " gives no tag.
std::pair<std::string, std::string_view> tagOf(std::string_view line) {
  const size_t dash = line.find(" - ");
  if (dash == std::string_view::npos) {
    // "TAG -" with an empty value.
    const std::string_view t = trimmed(line);
    if (t.size() > 1 && t.back() == '-') return {upperCase(trimmed(t.substr(0, t.size() - 1))), {}};
    return {};
  }
  return {upperCase(trimmed(line.substr(0, dash))), trimmed(line.substr(dash + 3))};
}

std::optional<SpectrumFileHeader::StartTime> startTimeOf(std::string_view value) {
  int a = 0, b = 0, c = 0, hour = 0, minute = 0, second = 0;
  const std::string text(value);
  SpectrumFileHeader::StartTime t;
  if (std::sscanf(text.c_str(), "%d/%d/%d %d:%d:%d", &a, &b, &c, &hour, &minute, &second) == 6) {
    t.month = static_cast<int16_t>(a), t.day = static_cast<int16_t>(b), t.year = static_cast<int16_t>(c);
  } else if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &a, &b, &c, &hour, &minute, &second) == 6 ||
             std::sscanf(text.c_str(), "%d-%d-%dT%d:%d:%d", &a, &b, &c, &hour, &minute, &second) == 6) {
    t.year = static_cast<int16_t>(a), t.month = static_cast<int16_t>(b), t.day = static_cast<int16_t>(c);
  } else {
    return std::nullopt;
  }
  if (t.year < 1900 || t.year > 9999 || !t.known() || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
      second < 0 || second > 60)
    return std::nullopt;
  t.hour = static_cast<int16_t>(hour), t.minute = static_cast<int16_t>(minute), t.second = static_cast<int16_t>(second);
  return t;
}

struct CalibrationPoints {
  double unitKev = 0.0;  // keV per unit of the energies; 0: no energy unit
  std::vector<std::pair<double, double>> points;
  int line = 0;
};

// The least-squares line through the points; warns when a point strays
// more than half a channel from it.
void takeCalibration(const CalibrationPoints& cal, TextSpectrumRead& read) {
  if (cal.unitKev == 0.0 || cal.points.size() < 2) return;
  double sc = 0, se = 0, scc = 0, sce = 0;
  const double n = static_cast<double>(cal.points.size());
  for (const auto& [c, e] : cal.points) sc += c, se += e, scc += c * c, sce += c * e;
  const double det = n * scc - sc * sc;
  if (!(std::fabs(det) > 0.0)) return;
  const double gain = (n * sce - sc * se) / det, offset = (se - gain * sc) / n;
  if (!(gain > 0.0)) {
    read.warnings.push_back("the calibration's energies do not increase with the channel: no calibration taken");
    return;
  }
  for (const auto& [c, e] : cal.points)
    if (std::fabs(e - (offset + gain * c)) > 0.5 * gain) {
      read.warnings.push_back("the calibration points do not lie on a straight line: the least-squares line is used");
      break;
    }
  setScaleKev(read.spectrum, gain * cal.unitKev, offset * cal.unitKev);
}

}  // namespace

TextSpectrumRead readPmca(std::string_view text) {
  const std::vector<std::string_view> lines = textLines(text);
  TextSpectrumRead read;
  Section section = Section::Header;
  bool started = false, sawData = false, ended = false;
  CalibrationPoints cal;
  for (size_t i = 0; i < lines.size() && section != Section::After; ++i) {
    const int number = static_cast<int>(i) + 1;
    const std::string_view line = trimmed(lines[i]);
    if (line.empty()) continue;
    if (!started) {
      if (upperCase(line) != "<<PMCA SPECTRUM>>") return refused("no <<PMCA SPECTRUM>> line at the start", number);
      started = true;
      continue;
    }
    if (line.size() >= 4 && line.substr(0, 2) == "<<" && line.substr(line.size() - 2) == ">>") {
      const std::string name = upperCase(line);
      if (section == Section::Data && name != "<<END>>") return refused("no <<END>> after the data", number);
      if (name == "<<CALIBRATION>>") {
        section = Section::Calibration;
        cal.line = number;
      } else if (name == "<<DATA>>") {
        if (sawData) return refused("a second <<DATA>> section", number);
        section = Section::Data;
        sawData = true;
      } else if (name == "<<END>>") {
        if (section != Section::Data) return refused("<<END>> without <<DATA>>", number);
        ended = true;
        section = Section::After;
      } else {
        section = sawData ? Section::After : Section::Header;  // another section of settings
      }
      continue;
    }
    switch (section) {
      case Section::Header: {
        const auto [tag, value] = tagOf(line);
        if (tag == "LIVE_TIME" || tag == "REAL_TIME") {
          const auto seconds = numberIn(value);
          const auto tenths = seconds ? tenthsOf(*seconds) : std::nullopt;
          if (!tenths) return refused(tag + " is not a time in seconds", number);
          (tag == "LIVE_TIME" ? read.spectrum.liveTime : read.spectrum.realTime) = *tenths;
        } else if (tag == "START_TIME" && !value.empty()) {
          read.spectrum.start = startTimeOf(value);
          if (!read.spectrum.start) read.warnings.push_back("START_TIME '" + std::string(value) + "' not understood");
        } else if (tag == "DESCRIPTION") {
          read.spectrum.title = std::string(value);
        }
        break;
      }
      case Section::Calibration: {
        const auto [tag, value] = tagOf(line);
        if (tag == "LABEL") {
          const std::string unit = upperCase(value);
          cal.unitKev = unit == "KEV" ? 1.0 : unit == "EV" ? 0.001 : 0.0;
          break;
        }
        const std::vector<std::string_view> fields = fieldsOf(line);
        const auto c = fields.size() == 2 ? numberIn(fields[0]) : std::nullopt;
        const auto e = fields.size() == 2 ? numberIn(fields[1]) : std::nullopt;
        if (!c || !e) return refused("a calibration point is not 'channel energy'", number);
        cal.points.emplace_back(*c, *e);
        break;
      }
      case Section::Data: {
        const auto value = numberIn(line);
        if (!value) return refused("text in data", number);
        if (!addCount(read, *value, number)) return read;
        break;
      }
      case Section::After:
        break;
    }
  }
  const int last = std::max(1, static_cast<int>(lines.size()));
  if (!started) return refused("no <<PMCA SPECTRUM>> line at the start", 1);
  if (!sawData) return refused("no <<DATA>> section", last);
  if (!ended) return refused("no <<END>> after the data: the file is cut short", last);
  if (read.spectrum.counts.empty()) return refused("no counts between <<DATA>> and <<END>>", last);
  takeCalibration(cal, read);
  return read;
}

}  // namespace tolvane
