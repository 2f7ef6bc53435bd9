#include "files/spec_mca_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace tolvane {

namespace {

// "Mon Dec 07 12:05:28 2026"
std::optional<SpectrumFileHeader::StartTime> specDate(std::string_view value) {
  const std::vector<std::string_view> f = fieldsOf(value);
  if (f.size() != 5) return std::nullopt;
  static const char* const kMonths = "JANFEBMARAPRMAYJUNJULAUGSEPOCTNOVDEC";
  const std::string month = upperCase(f[1]);
  const char* at = month.size() == 3 ? std::strstr(kMonths, month.c_str()) : nullptr;
  const auto day = numberIn(f[2]), year = numberIn(f[4]);
  const std::vector<std::string_view> clock = [&] {
    std::vector<std::string_view> parts;
    std::string_view t = f[3];
    for (size_t colon; (colon = t.find(':')) != std::string_view::npos; t.remove_prefix(colon + 1))
      parts.push_back(t.substr(0, colon));
    parts.push_back(t);
    return parts;
  }();
  if (!at || (at - kMonths) % 3 != 0 || !day || !year || clock.size() != 3) return std::nullopt;
  SpectrumFileHeader::StartTime t;
  t.year = static_cast<int16_t>(std::clamp(*year, 0.0, 9999.0));
  t.month = static_cast<int16_t>((at - kMonths) / 3 + 1);
  t.day = static_cast<int16_t>(std::clamp(*day, 0.0, 99.0));
  const auto h = numberIn(clock[0]), m = numberIn(clock[1]), s = numberIn(clock[2]);
  if (!h || !m || !s || *h < 0 || *h > 23 || *m < 0 || *m > 59 || *s < 0 || *s > 60 || !t.known()) return std::nullopt;
  t.hour = static_cast<int16_t>(*h), t.minute = static_cast<int16_t>(*m), t.second = static_cast<int16_t>(*s);
  return t;
}

// The numbers after a keyword ("#@CALIB 0 0.01 0"), all of them or none.
std::optional<std::vector<double>> numbersAfter(std::string_view line, size_t keywordLength) {
  std::vector<double> values;
  for (const std::string_view field : fieldsOf(line.substr(keywordLength))) {
    const auto v = numberIn(field);
    if (!v) return std::nullopt;
    values.push_back(*v);
  }
  return values;
}

bool startsWith(std::string_view line, std::string_view head) { return line.substr(0, head.size()) == head; }

}  // namespace

TextSpectrumRead readSpecMca(std::string_view text) {
  const std::vector<std::string_view> lines = textLines(text);
  TextSpectrumRead read;
  EmsaSpectrum& e = read.spectrum;
  bool inScan = false, taken = false;
  int spectra = 0, dataLine = 0;
  std::vector<double> channels, calib;  // of the scan whose spectrum is taken
  std::vector<double> scanChannels, scanCalib, scanTimes;
  std::string scanTitle;
  std::optional<SpectrumFileHeader::StartTime> scanDate;
  for (size_t i = 0; i < lines.size(); ++i) {
    const int number = static_cast<int>(i) + 1;
    const std::string_view line = trimmed(lines[i]);
    if (startsWith(line, "#S ") || line == "#S") {
      inScan = true;
      scanChannels.clear(), scanCalib.clear(), scanTimes.clear(), scanDate.reset();
      const std::vector<std::string_view> f = fieldsOf(line.substr(2));
      scanTitle.clear();
      for (size_t k = 1; k < f.size(); ++k) scanTitle += (k > 1 ? " " : "") + std::string(f[k]);
      continue;
    }
    const auto keywordValues = [&](std::string_view keyword, size_t expected,
                                   std::vector<double>& into) -> std::optional<TextSpectrumRead> {
      const auto values = numbersAfter(line, keyword.size());
      if (!values || values->size() < expected)
        return refused(std::string(keyword) + " needs " + std::to_string(expected) + " numbers", number);
      into = *values;
      return std::nullopt;
    };
    if (startsWith(line, "#@CHANN")) {
      if (auto stop = keywordValues("#@CHANN", 4, scanChannels)) return *stop;
    } else if (startsWith(line, "#@CALIB")) {
      if (auto stop = keywordValues("#@CALIB", 2, scanCalib)) return *stop;
    } else if (startsWith(line, "#@CTIME")) {
      if (auto stop = keywordValues("#@CTIME", 3, scanTimes)) return *stop;
    } else if (startsWith(line, "#D ") && inScan) {
      scanDate = specDate(line.substr(3));
    } else if (startsWith(line, "@A")) {
      if (!inScan) return refused("MCA data (@A) before any scan (#S)", number);
      ++spectra;
      // The values, across continued lines, are read for every spectrum so
      // a malformed one is refused wherever it is; only the first is kept.
      const bool keep = !taken;
      std::string_view rest = line.substr(2);
      size_t j = i;
      while (true) {
        const bool continued = !rest.empty() && rest.back() == '\\';
        if (continued) rest.remove_suffix(1);
        for (const std::string_view field : fieldsOf(rest)) {
          const auto v = numberIn(field);
          if (!v) return refused("text in MCA data", static_cast<int>(j) + 1);
          if (keep && !addCount(read, *v, static_cast<int>(j) + 1)) return read;
        }
        if (!continued) break;
        if (++j == lines.size()) return refused("MCA data end inside a continued line", static_cast<int>(j));
        rest = trimmed(lines[j]);
      }
      i = j;
      if (keep) {
        taken = true;
        dataLine = number;
        channels = scanChannels, calib = scanCalib;
        if (scanTimes.size() >= 3) {
          const auto preset = tenthsOf(scanTimes[0]), live = tenthsOf(scanTimes[1]), real = tenthsOf(scanTimes[2]);
          if (!preset || !live || !real) return refused("#@CTIME holds a time out of range", number);
          e.presetTime = *preset, e.liveTime = *live, e.realTime = *real;
        }
        e.start = scanDate;
        e.title = scanTitle;
      }
    }
  }
  if (!taken) return refused(inScan ? "no MCA data (@A) in the file's scans" : "no scan (#S) in the file",
                             std::max(1, static_cast<int>(lines.size())));
  if (e.counts.empty()) return refused("no counts in the MCA data", dataLine);
  double first = 0.0, reduction = 1.0;
  if (!channels.empty()) {
    // Compared as numbers: a count of any size or sign is refused, not cast.
    if (channels[0] != static_cast<double>(e.counts.size())) {
      char said[32];
      std::snprintf(said, sizeof said, "%.15g", channels[0]);
      return refused(std::string("#@CHANN says ") + said + " channels, the data hold " +
                         std::to_string(e.counts.size()),
                     dataLine);
    }
    first = channels[1];
    reduction = channels[3] > 0.0 ? channels[3] : 1.0;
  }
  if (calib.size() >= 2 && !(calib[0] == 0.0 && calib[1] == 1.0 && (calib.size() < 3 || calib[2] == 0.0))) {
    const double c = calib.size() >= 3 ? calib[2] : 0.0;
    if (c != 0.0) read.warnings.push_back("the quadratic term of #@CALIB is left out: the energy scale is its line");
    setScaleKev(e, calib[1] * reduction, calib[0] + calib[1] * first);
  }
  if (spectra > 1)
    read.warnings.push_back("the file holds " + std::to_string(spectra) + " MCA spectra: the first is read");
  return read;
}

}  // namespace tolvane
