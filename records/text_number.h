#pragma once
// Numbers typed by the user. Blanks before and after the number are
// allowed; anything else that is not part of the number makes the text
// invalid. The program runs with the "C" numeric locale, so the decimal
// separator is '.'.
#include <cstdint>
#include <optional>
#include <string_view>

namespace tolvane {

std::optional<int32_t> parseInteger(std::string_view text);
std::optional<double> parseReal(std::string_view text);  // finite values only
// A number that is stored in single precision: finite as a float too.
std::optional<float> parseFloat(std::string_view text);
// As parseFloat, taking both '.' and the window's locale separator
// `decimalSeparator` (',' in many locales) as the decimal point.
std::optional<float> parseFloat(std::string_view text, char decimalSeparator);

}  // namespace tolvane
