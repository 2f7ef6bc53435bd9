#pragma once
// Output files of the commands: checked before any work is done, written
// in one step (through links; directly to devices and pipes).
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace tolvane::cli {

// Checks an output path before the command does its work: an extension,
// when the name has one, must be one of `extensions` (".dat", ...), "-"
// (standard output) is taken only when `allowStdout`, and the file must be
// writable. Prints why and returns the exit code when the output is
// refused; nullopt when it can be written.
std::optional<int> refuseOutput(const std::string& path, std::initializer_list<const char*> extensions,
                                bool allowStdout = false, const std::string& option = "--out");

// Refuses an output that is one of the command's inputs (the same path, or
// the same file by another name or link): a derived spectrum never replaces
// the raw counts it came from. Prints why and returns the exit code (2).
std::optional<int> refuseOutputOverInput(const std::string& out, const std::vector<std::string>& inputs);

// Writes the bytes to `path` in one step; the error message when it fails.
std::optional<std::string> writeOutput(const std::string& path, const void* data, size_t size);

// The lower-case extension of a file name with its dot (".dat"), or "".
std::string extensionOf(const std::string& path);

}  // namespace tolvane::cli
