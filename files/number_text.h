#pragma once
// Numbers as text for files other programs read: always a decimal point,
// whatever locale the program runs in (printf would follow the locale).
#include <cstdint>
#include <string>

namespace tolvane {

// The shortest text that reads back as exactly this float.
std::string shortestText(float value);
// Fixed-point with `decimals` digits after the point.
std::string fixedText(double value, int decimals);
// Tenths of a second as seconds with one decimal ("12.3").
std::string secondsText(int32_t tenths);

}  // namespace tolvane
