#include "cli/xfit_outputs.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "cli/cli_error.h"
#include "cli/output_file.h"

namespace tolvane::cli {

namespace {

// Why the folder cannot take the maps, or "". A missing folder is made only
// once the maps are written (a refused fit leaves nothing behind), so its
// nearest existing parent must take files. Access bits are not enough:
// /proc and a read-only mount say yes to a check and no to a file, so a
// probe file is made and removed.
std::string folderProblem(const std::string& folder) {
  std::filesystem::path existing = folder.empty() ? std::filesystem::path(".") : std::filesystem::path(folder);
  std::error_code error;
  while (true) {
    // Only a missing name walks up: a name too long or a folder that cannot
    // be searched is the answer.
    const bool found = std::filesystem::exists(existing, error);
    if (error) return error.message();
    if (found) break;
    if (existing.parent_path() == existing || !existing.has_relative_path()) return "no such folder";
    existing = existing.parent_path().empty() ? std::filesystem::path(".") : existing.parent_path();
  }
  if (!std::filesystem::is_directory(existing, error)) return existing.string() + " is not a folder";
  std::string probe = (existing / ".tolvane-probe-XXXXXX").string();
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) return std::strerror(errno);
  ::close(fd);
  ::unlink(probe.c_str());
  return "";
}

}  // namespace

std::optional<int> refuseXfitOutputs(const QCommandLineParser& parser) {
  if (parser.isSet("save")) {
    const std::string out = parser.value("save").toLocal8Bit().toStdString();
    if (const auto stop = refuseOutput(out, {".ref"}, false, "--save")) return stop;
  }
  if (parser.isSet("map") && parser.isSet("out-dir")) {
    const std::string folder = parser.value("out-dir").toLocal8Bit().toStdString();
    if (const std::string problem = folderProblem(folder); !problem.empty())
      return fail(code::kOutput, "cannot write the maps into " + folder + ": " + problem);
  }
  return std::nullopt;
}

}  // namespace tolvane::cli
