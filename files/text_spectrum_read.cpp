#include "files/text_spectrum_read.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace tolvane {

namespace {
constexpr double kMaxCount = 4294967295.0;  // a channel is a 32-bit word
}  // namespace

std::string TextSpectrumRead::describe() const {
  return line > 0 ? "line " + std::to_string(line) + ": " + refusal : refusal;
}

std::vector<std::string_view> textLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n' && text[i] != '\r') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

std::string_view trimmed(std::string_view s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

std::string upperCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::optional<double> numberIn(std::string_view token) {
  token = trimmed(token);
  if (!token.empty() && token.front() == '+') token.remove_prefix(1);
  double value = 0.0;
  const auto result = std::from_chars(token.data(), token.data() + token.size(), value);
  if (token.empty() || result.ec != std::errc() || result.ptr != token.data() + token.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

std::vector<std::string_view> fieldsOf(std::string_view line) {
  std::vector<std::string_view> fields;
  if (line.find_first_of(",;") != std::string_view::npos) {
    // Commas or semicolons separate the fields; an empty field stays.
    size_t start = 0;
    while (true) {
      const size_t end = line.find_first_of(",;", start);
      fields.push_back(trimmed(line.substr(start, end == std::string_view::npos ? end : end - start)));
      if (end == std::string_view::npos) break;
      start = end + 1;
    }
    return fields;
  }
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) fields.push_back(line.substr(start, i - start));
  }
  return fields;
}

bool addCount(TextSpectrumRead& read, double value, int line) {
  if (std::isnan(value)) {
    read.refusal = "a count that is not a number";
  } else if (value < 0.0) {
    read.refusal = "a count below zero";
  } else if (value > kMaxCount) {
    read.refusal = "a count above 4294967295";
  } else if (read.spectrum.counts.size() >= static_cast<size_t>(kEmsaMaxPoints)) {
    read.refusal = "more than " + std::to_string(kEmsaMaxPoints) + " channels";
  } else {
    const double whole = std::round(value);
    if (whole != value) read.spectrum.rounded = true;
    read.spectrum.counts.push_back(static_cast<uint32_t>(whole));
    return true;
  }
  read.line = line;
  return false;
}

std::optional<int32_t> tenthsOf(double seconds) {
  if (!(seconds >= 0.0) || seconds > 2147483647.0 / 10.0) return std::nullopt;
  return static_cast<int32_t>(std::lround(seconds * 10.0));
}

void setScaleKev(EmsaSpectrum& spectrum, double gainKev, double offsetKev) {
  const float gain = static_cast<float>(gainKev), offset = static_cast<float>(offsetKev);
  if (!(gain > 0.0f) || !std::isfinite(gain) || !std::isfinite(offset)) {
    spectrum.calibrated = false;
    return;
  }
  spectrum.calibrated = true;
  spectrum.gainKev = gain;
  spectrum.offsetKev = offset;
}

TextSpectrumRead refused(std::string reason, int line) {
  TextSpectrumRead read;
  read.refusal = std::move(reason);
  read.line = line;
  return read;
}

}  // namespace tolvane
