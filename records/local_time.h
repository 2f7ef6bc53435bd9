#pragma once
// The local date and time, as stamped into a started acquisition's header.
#include <ctime>
#include <functional>

namespace tolvane {

struct LocalDateTime {
  int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};

inline LocalDateTime systemLocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  localtime_r(&now, &parts);
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

using LocalTimeSource = std::function<LocalDateTime()>;

}  // namespace tolvane
