#pragma once
// How every command of the command-line tool reports: exit codes, the one
// error line on standard error and, with --json, the error object on
// standard output.
#include <string>
#include <string_view>

namespace tolvane::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Machine-readable error codes of the {"error", "code"} object.
namespace code {
inline constexpr std::string_view kUsage = "usage";              // bad command line
inline constexpr std::string_view kRange = "range";              // a value outside its range
inline constexpr std::string_view kNotFound = "not_found";       // an input file is missing
inline constexpr std::string_view kRefused = "refused";          // an input file is not what it should be
inline constexpr std::string_view kOutput = "output";            // an output cannot be written
inline constexpr std::string_view kDevice = "device";            // the analyser link failed
inline constexpr std::string_view kInterrupted = "interrupted";  // stopped by a signal
inline constexpr std::string_view kNoPeak = "no_peak";           // nothing to measure
inline constexpr std::string_view kFit = "fit";                  // a fit could not be made
inline constexpr std::string_view kBadFit = "bad_fit";           // a fit was made but cannot be believed
inline constexpr std::string_view kUnknownElement = "unknown_element";  // a word names no element
inline constexpr std::string_view kNoCalibration = "no_calibration";    // no usable energy calibration
inline constexpr std::string_view kFailed = "failed";            // anything else
}  // namespace code

// The command being run ("acquire", ...); named in every error line.
void setCommandName(const std::string& name);
const std::string& commandName();
// Whether the command was asked for JSON: errors then also go to stdout.
void setJsonOutput(bool json);
bool jsonOutput();

// Prints "tolvane-cli: COMMAND: message" on stderr and, in JSON mode,
// {"error": message, "code": code} on stdout. Returns kExitFailure.
int fail(std::string_view errorCode, const std::string& message);
// The same for a bad command line; returns kExitUsage.
int usageError(const std::string& message);
// A warning line "tolvane-cli: COMMAND: warning: message" on stderr.
void warn(const std::string& message);
// A note on stderr that is neither error nor warning ("wrote FILE").
void note(const std::string& message);

// Kept for commands that report a plain failure.
int printError(const std::string& message);

}  // namespace tolvane::cli
