#include "cli/json_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tolvane::cli {

std::string jsonText(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string jsonNumber(float value) {
  if (!std::isfinite(value)) return "null";
  // Fewest digits (at most 9) that read back as the same float.
  char buffer[40];
  for (int digits = 6; digits <= 9; ++digits) {
    std::snprintf(buffer, sizeof buffer, "%.*g", digits, static_cast<double>(value));
    if (std::strtof(buffer, nullptr) == value) break;
  }
  return buffer;
}

std::string jsonNumber(double value) {
  if (!std::isfinite(value)) return "null";
  // Fewest digits (at most 17) that read back as the same double: 59.4
  // stays 59.4 instead of 59.399999999999999.
  char buffer[40];
  for (int digits = 15; digits <= 17; ++digits) {
    std::snprintf(buffer, sizeof buffer, "%.*g", digits, value);
    if (std::strtod(buffer, nullptr) == value) break;
  }
  return buffer;
}

std::string jsonRounded(double value, int decimals) {
  if (!std::isfinite(value)) return "null";
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  const double rounded = std::strtod(buffer, nullptr);
  // -0.0001 rounded to two places is -0.00: a JSON reader wants 0.
  return jsonNumber(rounded == 0.0 ? 0.0 : rounded);
}

JsonObject& JsonObject::add(std::string_view key, const std::string& rawJson) {
  if (body_.size() > 1) body_ += ", ";
  body_ += jsonText(key) + ": " + rawJson;
  return *this;
}

std::string jsonArray(const std::vector<std::string>& rawValues) {
  std::string out = "[";
  for (size_t i = 0; i < rawValues.size(); ++i) out += (i ? ", " : "") + rawValues[i];
  return out + "]";
}

}  // namespace tolvane::cli
