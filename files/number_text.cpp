#include "files/number_text.h"

#include <charconv>

namespace tolvane {

std::string shortestText(float value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string fixedText(double value, int decimals) {
  char buffer[400];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  return std::string(buffer, result.ptr);
}

std::string secondsText(int32_t tenths) { return fixedText(static_cast<double>(tenths) / 10.0, 1); }

}  // namespace tolvane
