#include "cli/file_session.h"

#include <cstdio>
#include <filesystem>

#include "cli/cli_common.h"
#include "files/spectrum_file.h"

namespace tolvane::cli {

std::string unreadableReason(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (status.type() == std::filesystem::file_type::not_found) return "no such file";
  if (status.type() == std::filesystem::file_type::directory) return "is a folder";
  return "cannot be read";
}

bool isFolder(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

bool readSpectrum(Session& session, const std::string& path) {
  const SpectrumFileRead read = readSpectrumPath(path);
  if (read.outcome == SpectrumFileRead::Outcome::CannotOpen)
    return fail(code::kNotFound, "cannot open " + path + ": " + unreadableReason(path)) == 0;
  if (read.outcome == SpectrumFileRead::Outcome::Refused)
    return fail(code::kRefused, refusedSpectrumMessage(path, read)) == 0;
  (void)takeSpectrumRead(session, path, read);  // read and checked above
  return true;
}

std::string refusedSpectrumMessage(const std::string& path, const SpectrumFileRead& read) {
  return path + " is not a readable spectrum: its header says " + std::to_string(read.header.channelCount()) +
         " channels, " + std::to_string(read.channels) + " found in whole 512-count blocks";
}

namespace {

bool channelOption(const QCommandLineParser& parser, const char* name, int lowest, int highest, int32_t& value) {
  if (!parser.optionNames().contains(name) || !parser.isSet(name)) return true;
  bool ok = false;
  const int v = parser.value(name).toInt(&ok);
  if (!ok || v < lowest || v > highest) {
    usageError(std::string("--") + name + " must be a channel from " + std::to_string(lowest) + " to " +
               std::to_string(highest) + ", not '" + parser.value(name).toStdString() + "'");
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

}  // namespace tolvane::cli
