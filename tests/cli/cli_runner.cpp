#include "cli/cli_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

extern char** environ;

namespace tolvane::testing {

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string scratchPath(const char* what) {
  char name[] = "/tmp/tolvane-cli-test-XXXXXX";
  const int fd = ::mkstemp(name);
  if (fd >= 0) ::close(fd);
  return std::string(name) + what;
}

pid_t spawn(const std::vector<std::string>& args, const std::string& outPath, const std::string& errPath,
            const std::string& workingFolder = "") {
  std::vector<std::string> all{TOLVANE_CLI};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (!workingFolder.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int waitFor(pid_t pid) {
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) < 0) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

CliRun runCli(const std::vector<std::string>& args, const std::string& stdoutPath) {
  const std::string out = stdoutPath.empty() ? scratchPath(".out") : stdoutPath;
  const std::string err = scratchPath(".err");
  CliRun run;
  run.status = waitFor(spawn(args, out, err));
  if (stdoutPath.empty()) {
    run.out = slurp(out);
    ::unlink(out.c_str());
    ::unlink(out.substr(0, out.size() - 4).c_str());
  }
  run.err = slurp(err);
  ::unlink(err.c_str());
  ::unlink(err.substr(0, err.size() - 4).c_str());
  return run;
}

CliProcess::CliProcess(const std::vector<std::string>& args, const std::string& workingFolder)
    : outPath_(scratchPath(".out")), errPath_(scratchPath(".err")) {
  pid_ = spawn(args, outPath_, errPath_, workingFolder);
}

CliProcess::~CliProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    waitFor(pid_);
  }
  for (const std::string& p : {outPath_, errPath_}) {
    ::unlink(p.c_str());
    ::unlink(p.substr(0, p.size() - 4).c_str());
  }
}

void CliProcess::signal(int number) { ::kill(pid_, number); }

CliRun CliProcess::finish() {
  CliRun run;
  run.status = waitFor(pid_);
  pid_ = -1;
  run.out = slurp(outPath_);
  run.err = slurp(errPath_);
  return run;
}

int lineCount(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

}  // namespace tolvane::testing
