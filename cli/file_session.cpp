#include "cli/file_session.h"

#include <cstdio>

#include "cli/cli_common.h"
#include "files/spectrum_file.h"

namespace tolvane::cli {

bool readSpectrum(Session& session, const std::string& path) {
  session.Texts.Edit1.clear();
  if (!ReadSpectrumFile(session, path)) {
    printError("cannot open " + path);
    return false;
  }
  if (!session.Texts.Edit1.empty()) {
    printError(path + " is not a readable spectrum (" + session.Texts.Edit1 + " channels in whole blocks)");
    return false;
  }
  return true;
}

namespace {

bool channelOption(const QCommandLineParser& parser, const char* name, int lowest, int highest, int32_t& value) {
  if (!parser.optionNames().contains(name) || !parser.isSet(name)) return true;
  bool ok = false;
  const int v = parser.value(name).toInt(&ok);
  if (!ok || v < lowest || v > highest) {
    printError(std::string("--") + name + " must be a channel from " + std::to_string(lowest) + " to " +
               std::to_string(highest));
    return false;
  }
  value = v;
  return true;
}

}  // namespace

bool applyView(const QCommandLineParser& parser, Session& s) {
  const int m = s.Acquisition.ChannelCount;
  DisplayState& d = s.Display;
  return channelOption(parser, "first", 0, m - 1, d.FirstShown) &&
         channelOption(parser, "last", d.FirstShown + 1, m - 1, d.LastShown) &&
         channelOption(parser, "cursor", 0, m - 1, d.Cursor);
}

std::string jsonNumber(float value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.9g", static_cast<double>(value));
  return buffer;
}

}  // namespace tolvane::cli
