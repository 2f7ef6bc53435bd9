#include "cli/output_file.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "cli/cli_error.h"
#include "files/atomic_file.h"
#include "files/output_path.h"
#include "files/path_name.h"

namespace tolvane::cli {

std::string extensionOf(const std::string& path) {
  const std::string name = fileNameOf(path);
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return "";
  std::string extension = name.substr(dot);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

std::optional<int> refuseOutput(const std::string& path, std::initializer_list<const char*> extensions,
                                bool allowStdout, const std::string& option) {
  if (path.empty()) return usageError(option + " needs a file name");
  if (path == "-") {
    if (allowStdout) return std::nullopt;
    return usageError(option + " - is not possible: the output is not text; name a file");
  }
  const std::string extension = extensionOf(path);
  if (!extension.empty() &&
      std::none_of(extensions.begin(), extensions.end(), [&](const char* e) { return extension == e; })) {
    std::string allowed;
    for (const char* e : extensions) allowed += std::string(allowed.empty() ? "" : " or ") + e;
    return usageError(option + " " + path + ": the file written is " + allowed + ", not " + extension);
  }
  const OutputProblem problem = checkOutputPath(path);
  if (problem != OutputProblem::None)
    return fail(code::kOutput, "cannot write " + path + ": " + outputProblemText(problem));
  return std::nullopt;
}

std::optional<int> refuseOutputOverInput(const std::string& out, const std::vector<std::string>& inputs) {
  for (const std::string& input : inputs) {
    std::error_code error;
    if (out == input || std::filesystem::equivalent(out, input, error))
      return usageError("--out " + out + " is the input " + input +
                        ": a derived spectrum is written to a new file, the raw counts are kept");
  }
  return std::nullopt;
}

std::optional<std::string> writeOutput(const std::string& path, const void* data, size_t size) {
  std::string error;
  if (writeFileAtomically(path, data, size, &error)) return std::nullopt;
  return "cannot write " + path + ": " + error;
}

}  // namespace tolvane::cli
