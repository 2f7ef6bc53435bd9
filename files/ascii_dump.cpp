#include "files/ascii_dump.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "app/session.h"
#include "files/atomic_file.h"
#include "files/path_name.h"

namespace tolvane {

namespace {

// Appends one printf-formatted line and its CR LF; a field wider than its
// format's width widens the line, it is never cut.
__attribute__((format(printf, 2, 3))) void line(std::string& out, const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  out.append(buffer, static_cast<size_t>(std::clamp(n, 0, static_cast<int>(sizeof buffer) - 1)));
  out += "\r\n";
}

}  // namespace

std::string asciiDumpText(const Session& s) {
  const SpectrumFileHeader& h = s.Working.Header;
  const auto t = h.startTime();
  const int n = std::clamp(s.Acquisition.ChannelCount, 0, s.Working.capacity());
  std::string out;
  out.reserve(120 + 16 * static_cast<size_t>(n));
  line(out, "*** Velquarion Co., MCA Binary Data to ASCII Data Dump ***");
  line(out, "%s", "");
  line(out, "Data File Name, %s", s.Working.Name.c_str());
  line(out, "Data Comment, %s", h.comment().c_str());
  line(out, "Sample ID, %s", h.sampleId().c_str());
  line(out, "Acq. Date, %4d/%2d/%2d, %2d:%2d:%2d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  line(out, "Live Time, %8.1f", s.Acquisition.LiveTime / 10.0);
  line(out, "Real Time, %8.1f", s.Acquisition.RealTime / 10.0);
  line(out, "Mca Ch Size, %4d", s.Acquisition.ChannelCount);
  line(out, "%s", "");
  line(out, "ch  ,  data");
  for (int c = 0; c < n; ++c) line(out, "%4d,%8d", c, s.Working.Counts[static_cast<size_t>(c)]);
  return out;
}

FileWriteOutcome writeAsciiDumpStream(std::ostream& out, const Session& s) {
  const std::string text = asciiDumpText(s);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.flush();
  return out ? FileWriteOutcome::Written : FileWriteOutcome::WriteFailed;
}

FileWriteOutcome writeAsciiDump(Session& s, const std::string& path) {
  s.LastPath = path.substr(0, Session::kMaxPathLength);
  s.Working.setName(fileNameOf(path));
  const std::string text = asciiDumpText(s);
  return writeFileAtomically(path, text.data(), text.size()) ? FileWriteOutcome::Written
                                                             : FileWriteOutcome::WriteFailed;
}

}  // namespace tolvane
