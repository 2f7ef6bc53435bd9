#include "files/spec_export.h"

#include <cstdio>

#include "files/number_text.h"

namespace tolvane {

namespace {

constexpr size_t kValuesPerLine = 16;

// The date as SPEC files carry it ("Mon Dec 07 12:05:28 2026"); empty when
// the spectrum has no start time.
std::string dateLine(const ExportedSpectrum& e) {
  if (!e.hasStartTime()) return "";
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  // Day of the week by Sakamoto's rule.
  static const int kMonthShift[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  const int y = e.start.year - (e.start.month < 3 ? 1 : 0);
  const int weekday = (y + y / 4 - y / 100 + y / 400 + kMonthShift[e.start.month - 1] + e.start.day) % 7;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%s %s %02d %02d:%02d:%02d %04d", kDays[weekday], kMonths[e.start.month - 1],
                e.start.day, e.start.hour, e.start.minute, e.start.second, e.start.year);
  return buffer;
}

}  // namespace

std::string specText(const ExportedSpectrum& e, const std::string& fileName) {
  const size_t n = e.counts.size();
  const std::string date = dateLine(e);
  const std::string title = asciiOnly(e.comment.empty() ? e.name : e.comment);
  std::string out;
  out.reserve(400 + 12 * n);
  out += "#F " + asciiOnly(fileName) + "\n";
  if (!date.empty()) out += "#D " + date + "\n";
  out += "\n#S 1 " + title + "\n";
  if (!date.empty()) out += "#D " + date + "\n";
  if (!e.sampleId.empty()) out += "#C sample " + asciiOnly(e.sampleId) + "\n";
  out += "#N 1\n";
  out += "#@MCA %16C\n";
  out += "#@CHANN " + std::to_string(n) + " 0 " + std::to_string(n == 0 ? 0 : n - 1) + " 1\n";
  if (e.calibrated())
    out += "#@CALIB " + shortestText(static_cast<float>(e.offsetKev())) + " " +
           shortestText(static_cast<float>(e.gainKev())) + " " +
           (e.quadratic == 0.0f ? std::string("0") : shortestText(static_cast<float>(e.quadraticKev()))) + "\n";
  else
    out += "#@CALIB 0 1 0\n";
  out += "#@CTIME " + secondsText(e.presetTime) + " " + secondsText(e.liveTime) + " " + secondsText(e.realTime) + "\n";
  out += "@A";
  for (size_t i = 0; i < n; ++i) {
    out += " " + std::to_string(e.counts[i]);
    if ((i + 1) % kValuesPerLine == 0 && i + 1 < n) out += "\\\n";
  }
  out += "\n";
  return out;
}

}  // namespace tolvane
