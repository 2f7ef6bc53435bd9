#pragma once
// Runs tolvane-cli as a script would: separate standard output and error,
// the exit code, and a way to signal a run in progress.
#include <sys/types.h>

#include <string>
#include <vector>

namespace tolvane::testing {

struct CliRun {
  int status = -1;  // exit code; 128 + signal when killed
  std::string out, err;
};

// Runs `tolvane-cli args...`; `stdoutPath` redirects standard output to a
// file or device instead of capturing it.
CliRun runCli(const std::vector<std::string>& args, const std::string& stdoutPath = "");

// A run started in the background; finish() waits for it.
class CliProcess {
 public:
  // `workingFolder`: where the command runs ("" for the test's own).
  explicit CliProcess(const std::vector<std::string>& args, const std::string& workingFolder = "");
  ~CliProcess();
  void signal(int number);
  CliRun finish();

 private:
  pid_t pid_ = -1;
  std::string outPath_, errPath_;
};

// The line count of a text.
int lineCount(const std::string& text);

}  // namespace tolvane::testing
