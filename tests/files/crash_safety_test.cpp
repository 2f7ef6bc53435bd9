// A writer killed at a random moment leaves the target either the old
// complete file or the new complete one, never a part of either.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <random>
#include <thread>

#include "files/ascii_dump.h"
#include "handlers/file_handlers.h"
#include "test_support.h"
#include "xfit/standard_table.h"

namespace tolvane {
namespace {

// Makes the two versions of a file: version(0) and version(1) each write
// the target at `path`.
using Writer = std::function<void(Session&, const std::string& path, int version)>;

void killWhileWriting(const Writer& write, const char* name) {
  testing::TempDir dir;
  testing::SimRig rig(0);
  const std::string target = dir.path(name);
  write(*rig.session, target, 1);
  const auto versionB = testing::readFileBytes(target);
  write(*rig.session, target, 0);
  const auto versionA = testing::readFileBytes(target);
  ASSERT_NE(versionA, versionB);

  std::mt19937 rng(42);
  for (int round = 0; round < 25; ++round) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int i = 0;; ++i) write(*rig.session, target, i % 2);  // until killed
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200 + rng() % 20000));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    const auto now = testing::readFileBytes(target);
    ASSERT_TRUE(now == versionA || now == versionB)
        << name << ": a partial file after round " << round << " (" << now.size() << " bytes)";
  }
}

TEST(CrashSafety, SpectrumFilesAreWholeAfterAKill) {
  killWhileWriting(
      [](Session& s, const std::string& path, int version) {
        std::fill_n(s.Working.Counts.begin(), 4096, version == 0 ? 11 : 22222);
        (void)WriteSpectrumFile(s, path);  // killed while writing: no outcome is seen
      },
      "spectrum.dat");
}

TEST(CrashSafety, TextDumpsAreWholeAfterAKill) {
  killWhileWriting(
      [](Session& s, const std::string& path, int version) {
        std::fill_n(s.Working.Counts.begin(), 4096, version == 0 ? 3 : 4444444);
        s.Working.setName("dump.txt");
        (void)WriteAsciiDump(s, path);  // killed while writing: no outcome is seen
        s.Working.setName("dump.txt");
      },
      "dump.txt");
}

TEST(CrashSafety, StandardTablesAreWholeAfterAKill) {
  killWhileWriting(
      [](Session&, const std::string& path, int version) {
        StandardTable table;
        for (auto& r : table.Records) r.setCf(version == 0 ? 1.5f : 2.5f);
        (void)SaveStandardTableFile(table, path);  // killed while writing: no outcome is seen
      },
      "table.ref");
}

}  // namespace
}  // namespace tolvane
