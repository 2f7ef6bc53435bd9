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

// Why the folder cannot take the maps, or "". Access bits are not enough:
// /proc and a read-only mount say yes to a check and no to a file.
std::string folderProblem(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!std::filesystem::is_directory(folder, error))
    return error ? error.message() : std::string("not a folder");
  std::string probe = folder + "/.tolvane-probe-XXXXXX";
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
