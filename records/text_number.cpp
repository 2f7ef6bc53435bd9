#include "records/text_number.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace tolvane {

namespace {

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

template <typename T>
std::optional<T> parseWhole(std::string_view text) {
  text = trimmed(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  T value{};
  const auto* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

}  // namespace

std::optional<int32_t> parseInteger(std::string_view text) { return parseWhole<int32_t>(text); }

std::optional<double> parseReal(std::string_view text) {
  const auto value = parseWhole<double>(text);
  if (!value || !std::isfinite(*value)) return std::nullopt;
  return value;
}

std::optional<float> parseFloat(std::string_view text) {
  const auto value = parseReal(text);
  if (!value) return std::nullopt;
  const auto single = static_cast<float>(*value);
  if (!std::isfinite(single)) return std::nullopt;
  return single;
}

std::optional<float> parseFloat(std::string_view text, char decimalSeparator) {
  if (decimalSeparator == '.') return parseFloat(text);
  std::string dotted(text);
  std::replace(dotted.begin(), dotted.end(), decimalSeparator, '.');
  return parseFloat(dotted);
}

}  // namespace tolvane
