#include "files/emsa_reader.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <tuple>
#include <utility>

namespace tolvane {

namespace {

constexpr double kMaxCount = 4294967295.0;  // a channel is a 32-bit word
constexpr double kMaxSeconds = 2147483647.0 / 10.0;
constexpr const char* kMonthNames = "JANFEBMARAPRMAYJUNJULAUGSEPOCTNOVDEC";

std::string_view trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// A number in any decimal or exponent form ("20.", "1.5E+03", "+7"). One
// too large for a double is an infinity of its sign, one too small zero,
// so callers refuse it as out of range, not as text.
std::optional<double> number(std::string_view token) {
  token = trim(token);
  if (!token.empty() && token.front() == '+') token.remove_prefix(1);  // from_chars takes no '+'
  double value = 0.0;
  const auto result = std::from_chars(token.data(), token.data() + token.size(), value);
  if (result.ptr != token.data() + token.size() || token.empty()) return {};
  if (result.ec == std::errc::result_out_of_range) {
    const auto e = token.find_first_of("eE");
    const bool tiny = e != std::string_view::npos && e + 1 < token.size() && token[e + 1] == '-';
    const bool negative = token.front() == '-';
    if (tiny) return 0.0;
    return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
  }
  if (result.ec != std::errc() || std::isnan(value)) return {};
  return value;
}

std::optional<int> wholeNumber(std::string_view token) {
  token = trim(token);
  int value = 0;
  const auto result = std::from_chars(token.data(), token.data() + token.size(), value);
  if (token.empty() || result.ec != std::errc() || result.ptr != token.data() + token.size()) return {};
  return value;
}

struct Keyword {
  std::string name;  // upper case, without the leading '#' ("#ROI01" for "##ROI01")
  std::string unit;  // upper case, from a "-unit" suffix
  std::string_view value;
};

Keyword keywordOf(std::string_view line) {
  line.remove_prefix(1);  // the '#'
  const auto colon = line.find(':');
  std::string_view head = line.substr(0, colon);
  Keyword k;
  if (colon != std::string_view::npos) k.value = trim(line.substr(colon + 1));
  const auto dash = head.find('-', 1);
  if (dash != std::string_view::npos) {
    k.unit = upper(trim(head.substr(dash + 1)));
    head = head.substr(0, dash);
  }
  k.name = upper(trim(head));
  return k;
}

// "DD-MMM-YYYY" and "HH:MM" or "HH:MM:SS"; anything else is no date.
std::optional<SpectrumFileHeader::StartTime> dateOf(std::string_view date) {
  date = trim(date);
  const auto d1 = date.find('-');
  const auto d2 = date.find('-', d1 == std::string_view::npos ? d1 : d1 + 1);
  if (d1 == std::string_view::npos || d2 == std::string_view::npos || d2 - d1 != 4) return {};
  const auto day = wholeNumber(date.substr(0, d1));
  const auto year = wholeNumber(date.substr(d2 + 1));
  const std::string month = upper(date.substr(d1 + 1, 3));
  const auto found = std::string_view(kMonthNames).find(month);
  if (!day || !year || found == std::string_view::npos || found % 3 != 0) return {};
  if (*day < 1 || *day > 31 || *year < 1 || *year > 9999) return {};
  SpectrumFileHeader::StartTime t;
  t.year = static_cast<int16_t>(*year);
  t.month = static_cast<int16_t>(found / 3 + 1);
  t.day = static_cast<int16_t>(*day);
  return t;
}

std::optional<SpectrumFileHeader::StartTime> timeOf(std::string_view time) {
  time = trim(time);
  const auto c1 = time.find(':');
  if (c1 == std::string_view::npos) return {};
  const auto c2 = time.find(':', c1 + 1);
  const auto hour = wholeNumber(time.substr(0, c1));
  const auto minute = wholeNumber(time.substr(c1 + 1, c2 == std::string_view::npos ? c2 : c2 - c1 - 1));
  const auto second = c2 == std::string_view::npos ? std::optional<int>(0) : wholeNumber(time.substr(c2 + 1));
  if (!hour || !minute || !second || *hour < 0 || *hour > 23 || *minute < 0 || *minute > 59 || *second < 0 ||
      *second > 60)
    return {};
  SpectrumFileHeader::StartTime t;
  t.hour = static_cast<int16_t>(*hour);
  t.minute = static_cast<int16_t>(*minute);
  t.second = static_cast<int16_t>(*second);
  return t;
}

// "label, low, high" of our own ROI keywords; anything else is skipped.
std::optional<EmsaRoi> roiOf(const std::string& name, std::string_view value) {
  const auto index = wholeNumber(std::string_view(name).substr(4));
  const auto c1 = value.find(',');
  if (!index || *index < 0 || *index > 15 || c1 == std::string_view::npos) return {};
  const auto c2 = value.find(',', c1 + 1);
  if (c2 == std::string_view::npos) return {};
  const auto low = wholeNumber(value.substr(c1 + 1, c2 - c1 - 1));
  const auto high = wholeNumber(value.substr(c2 + 1));
  if (!low || !high) return {};
  return EmsaRoi{*index, std::string(trim(value.substr(0, std::min<size_t>(c1, 7)))), *low, *high};
}

class Reader {
 public:
  EmsaReadOutcome read(std::string_view bytes);

 private:
  bool refuse(EmsaRefusal why, int line) {
    out_.refusal = why;
    out_.line = line;
    return false;
  }
  bool headerLine(std::string_view text, int line);
  bool dataLine(std::string_view text, int line);
  bool addCount(double value, int line);
  bool seconds(const Keyword& k, int line, std::optional<int32_t>& tenths);
  bool keywordNumber(const Keyword& k, int line, std::optional<double>& value);
  void finishCalibration();
  void finishStart();

  EmsaReadOutcome out_;
  enum class Stage { Header, Data, Done } stage_ = Stage::Header;
  std::optional<int> points_;
  bool xy_ = false;
  std::string xUnits_;
  std::optional<double> xPerChannel_, offset_;
  std::vector<double> xs_;  // the X column of XY data
  std::optional<SpectrumFileHeader::StartTime> date_, time_;
  std::optional<int16_t> second_;
  int endLine_ = 0;
};

bool Reader::keywordNumber(const Keyword& k, int line, std::optional<double>& value) {
  if (k.value.empty()) return true;  // an empty value is a keyword left out
  const auto v = number(k.value);
  if (!v || std::fabs(*v) > std::numeric_limits<float>::max()) return refuse(EmsaRefusal::BadNumber, line);
  value = v;
  return true;
}

bool Reader::seconds(const Keyword& k, int line, std::optional<int32_t>& tenths) {
  std::optional<double> v;
  if (!keywordNumber(k, line, v)) return false;
  if (!v) return true;
  double s = *v;
  if (k.unit == "MS") s /= 1000.0;
  if (s < 0.0 || s > kMaxSeconds) return refuse(EmsaRefusal::BadNumber, line);
  // To the nearest tenth: 19.997 s is 20.0 s, as a reader of the file
  // would take it.
  tenths = static_cast<int32_t>(std::min(std::round(s * 10.0), 2147483647.0));
  return true;
}

bool Reader::headerLine(std::string_view text, int line) {
  if (text.empty() || text.front() != '#') return true;  // blank lines and stray text carry nothing
  const Keyword k = keywordOf(text);
  EmsaSpectrum& s = out_.spectrum;
  if (k.name == "NPOINTS") {
    const auto v = number(k.value);
    if (!v || *v < 1.0 || *v != std::floor(*v)) return refuse(EmsaRefusal::BadPointCount, line);
    if (*v > kEmsaMaxPoints) return refuse(EmsaRefusal::TooManyPoints, line);
    points_ = static_cast<int>(*v);
  } else if (k.name == "DATATYPE") {
    xy_ = upper(k.value) == "XY";
  } else if (k.name == "XUNITS") {
    xUnits_ = upper(k.value);
  } else if (k.name == "XPERCHAN") {
    return keywordNumber(k, line, xPerChannel_);
  } else if (k.name == "OFFSET") {
    return keywordNumber(k, line, offset_);
  } else if (k.name == "LIVETIME") {
    return seconds(k, line, s.liveTime);
  } else if (k.name == "REALTIME") {
    return seconds(k, line, s.realTime);
  } else if (k.name == "#PRESETTIME") {
    return seconds(k, line, s.presetTime);
  } else if (k.name == "TITLE") {
    s.title = std::string(k.value);
  } else if (k.name == "#SAMPLEID") {
    s.sampleId = std::string(k.value);
  } else if (k.name == "DATE") {
    date_ = dateOf(k.value);
  } else if (k.name == "TIME") {
    time_ = timeOf(k.value);
  } else if (k.name == "#SECOND") {
    const auto v = wholeNumber(k.value);
    if (v && *v >= 0 && *v <= 60) second_ = static_cast<int16_t>(*v);
  } else if (k.name.rfind("#ROI", 0) == 0) {
    if (auto roi = roiOf(k.name, k.value)) s.rois.push_back(*roi);
  } else if (k.name == "SPECTRUM") {
    stage_ = Stage::Data;
  }
  return true;
}

bool Reader::addCount(double value, int line) {
  if (value < 0.0) return refuse(EmsaRefusal::NegativeCount, line);
  const double whole = std::round(value);
  if (whole > kMaxCount) return refuse(EmsaRefusal::HugeCount, line);
  if (whole != value) out_.spectrum.rounded = true;
  std::vector<uint32_t>& counts = out_.spectrum.counts;
  if (counts.size() >= static_cast<size_t>(kEmsaMaxPoints)) return refuse(EmsaRefusal::TooManyPoints, line);
  counts.push_back(static_cast<uint32_t>(whole));
  return true;
}

bool Reader::dataLine(std::string_view text, int line) {
  if (!text.empty() && text.front() == '#') {  // #ENDOFDATA, or any keyword, ends the data
    stage_ = Stage::Done;
    endLine_ = line;
    return true;
  }
  int onLine = 0;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = std::min(text.find_first_of(", \t\r", at), text.size());
    if (end > at) {
      const auto v = number(text.substr(at, end - at));
      if (!v) return refuse(EmsaRefusal::TextInData, line);
      if (xy_ && onLine % 2 == 0) {
        xs_.push_back(*v);
      } else if (!addCount(*v, line)) {
        return false;
      }
      ++onLine;
    }
    at = end + 1;
  }
  if (xy_ && onLine % 2 != 0) return refuse(EmsaRefusal::UnpairedValue, line);
  return true;
}

// The straight line through the X column against the point index, by
// least squares: {gain, offset}.
std::pair<double, double> xColumnLine(const std::vector<double>& xs) {
  const double n = static_cast<double>(xs.size());
  const double meanIndex = (n - 1.0) / 2.0;
  double meanX = 0.0;
  for (const double x : xs) meanX += x;
  meanX /= n;
  double sxy = 0.0, sxx = 0.0;
  for (size_t i = 0; i < xs.size(); ++i) {
    const double d = static_cast<double>(i) - meanIndex;
    sxy += d * (xs[i] - meanX);
    sxx += d * d;
  }
  const double gain = sxx > 0.0 ? sxy / sxx : 0.0;
  return {gain, meanX - gain * meanIndex};
}

// The energy scale in keV, from XPERCHAN and OFFSET, or from the X column
// of XY data when XPERCHAN is missing or the X column strays from it by
// more than half a channel. Units other than eV and keV (channels among
// them) give no calibration.
void Reader::finishCalibration() {
  const double scale = xUnits_ == "KEV" ? 1.0 : xUnits_ == "EV" ? 0.001 : 0.0;
  if (scale == 0.0) return;
  EmsaSpectrum& s = out_.spectrum;
  const size_t n = s.counts.size();
  const bool xColumn = xy_ && xs_.size() == n && n > 1;
  double gain = 0.0, offset = offset_.value_or(0.0);
  if (xPerChannel_) {
    gain = *xPerChannel_;
    if (xColumn && gain != 0.0) {
      double stray = 0.0;
      for (size_t i = 0; i < n; ++i)
        stray = std::max(stray, std::fabs(xs_[i] - (offset + gain * static_cast<double>(i))) / std::fabs(gain));
      s.xColumnStrayChannels = stray;
      if (stray > 0.5) {
        s.scaleFromXColumn = true;
        s.declaredGainKev = static_cast<float>(gain * scale);
        s.declaredOffsetKev = static_cast<float>(offset * scale);
        std::tie(gain, offset) = xColumnLine(xs_);
      }
    }
  } else if (xColumn) {
    std::tie(gain, offset) = xColumnLine(xs_);
  }
  const float g = static_cast<float>(gain * scale);
  const float o = static_cast<float>(offset * scale);
  if (g == 0.0f || !std::isfinite(g) || !std::isfinite(o)) {
    s.scaleFromXColumn = false;
    return;
  }
  s.calibrated = true;
  s.gainKev = g;
  s.offsetKev = o;
}

void Reader::finishStart() {
  if (!date_) return;
  SpectrumFileHeader::StartTime t = *date_;
  if (time_) {
    t.hour = time_->hour;
    t.minute = time_->minute;
    t.second = time_->second;
  }
  if (second_) t.second = *second_;
  out_.spectrum.start = t;
}

EmsaReadOutcome Reader::read(std::string_view bytes) {
  int line = 0;
  size_t at = 0;
  while (at < bytes.size() && stage_ != Stage::Done) {
    const size_t end = std::min(bytes.find('\n', at), bytes.size());
    ++line;
    const std::string_view text = trim(bytes.substr(at, end - at));
    at = end + 1;
    const bool fine = stage_ == Stage::Header ? headerLine(text, line) : dataLine(text, line);
    if (!fine) return out_;
  }
  if (line == 0) line = 1;
  if (stage_ == Stage::Header) {
    refuse(EmsaRefusal::NoSpectrum, line);
    return out_;
  }
  const int last = endLine_ ? endLine_ : line;
  const int found = static_cast<int>(out_.spectrum.counts.size());
  if (found == 0) {
    refuse(EmsaRefusal::NoData, last);
    return out_;
  }
  if (points_ && found < *points_) {
    refuse(EmsaRefusal::TooFewValues, last);
    return out_;
  }
  if (points_ && found > *points_) out_.spectrum.declaredPoints = *points_;
  finishCalibration();
  finishStart();
  return out_;
}

}  // namespace

EmsaReadOutcome readEmsa(std::string_view bytes) { return Reader().read(bytes); }

std::string describeEmsaRefusal(const EmsaReadOutcome& outcome) {
  if (!outcome.refusal) return {};
  const char* why = "";
  switch (*outcome.refusal) {
    case EmsaRefusal::NoSpectrum:
      why = "no #SPECTRUM";
      break;
    case EmsaRefusal::NoData:
      why = "no data after #SPECTRUM";
      break;
    case EmsaRefusal::TooFewValues:
      why = "fewer values than #NPOINTS";
      break;
    case EmsaRefusal::TextInData:
      why = "text in data";
      break;
    case EmsaRefusal::UnpairedValue:
      why = "XY value without its pair";
      break;
    case EmsaRefusal::NegativeCount:
      why = "negative count";
      break;
    case EmsaRefusal::HugeCount:
      why = "count too large";
      break;
    case EmsaRefusal::TooManyPoints:
      why = "more than 8192 points";
      break;
    case EmsaRefusal::BadPointCount:
      why = "#NPOINTS must be a whole number, at least 1";
      break;
    case EmsaRefusal::BadNumber:
      why = "number out of range";
      break;
  }
  return "line " + std::to_string(outcome.line) + ": " + why;
}

std::vector<std::string> emsaWarnings(const EmsaSpectrum& s) {
  std::vector<std::string> out;
  const std::string found = std::to_string(s.counts.size());
  if (s.declaredPoints > 0)
    out.push_back("#NPOINTS is " + std::to_string(s.declaredPoints) + " but the data hold " + found +
                  " values: all " + found + " are kept");
  if (s.scaleFromXColumn) {
    char text[240];
    std::snprintf(text, sizeof text,
                  "the X column strays up to %.2f channels from #XPERCHAN and #OFFSET (%.6g keV per channel from "
                  "%.6g keV): the X column's scale is kept, %.6g keV per channel from %.6g keV",
                  s.xColumnStrayChannels, static_cast<double>(s.declaredGainKev),
                  static_cast<double>(s.declaredOffsetKev), static_cast<double>(s.gainKev),
                  static_cast<double>(s.offsetKev));
    out.push_back(text);
  }
  return out;
}

}  // namespace tolvane
