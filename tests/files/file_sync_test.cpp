// The atomic write flushes the new bytes to disk before they replace the
// target, and a failed flush leaves the target as it was.
#include "files/file_sync.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "files/atomic_file.h"
#include "test_support.h"

namespace tolvane {
namespace {

struct Observed {
  int calls = 0;
  off_t sizeAtFlush = -1;
  std::vector<uint8_t> targetAtFlush;
  std::string target;
  bool fail = false;
};
Observed observed;

int observeSync(int fd) {
  ++observed.calls;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && observed.sizeAtFlush < 0) {
    observed.sizeAtFlush = info.st_size;
    observed.targetAtFlush = testing::readFileBytes(observed.target);
  }
  if (observed.fail) {
    errno = EIO;
    return -1;
  }
  return 0;
}

struct SyncObserver {
  explicit SyncObserver(const std::string& target) {
    observed = Observed{};
    observed.target = target;
    previous = setSyncCall(observeSync);
  }
  ~SyncObserver() { setSyncCall(previous); }
  SyncCall previous;
};

TEST(FileSync, TheNewBytesAreFlushedBeforeTheyReplaceTheTarget) {
  testing::TempDir dir;
  const std::string path = dir.path("s.dat");
  testing::writeFileBytes(path, {1, 2, 3});
  SyncObserver observer(path);
  const std::vector<uint8_t> bytes(5000, 9);
  ASSERT_TRUE(writeFileAtomically(path, bytes.data(), bytes.size()));
  EXPECT_GE(observed.calls, 1);
  EXPECT_EQ(observed.sizeAtFlush, 5000);                               // all of it written when flushed
  EXPECT_EQ(observed.targetAtFlush, (std::vector<uint8_t>{1, 2, 3}));  // not yet replaced
  EXPECT_EQ(testing::readFileBytes(path), bytes);
}

TEST(FileSync, AFailedFlushKeepsTheOldFileAndSaysWhy) {
  testing::TempDir dir;
  const std::string path = dir.path("s.dat");
  testing::writeFileBytes(path, {1, 2, 3});
  SyncObserver observer(path);
  observed.fail = true;
  std::string error;
  const uint8_t byte = 9;
  EXPECT_FALSE(writeFileAtomically(path, &byte, 1, &error));
  EXPECT_NE(error.find("fsync"), std::string::npos);
  EXPECT_EQ(testing::readFileBytes(path), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.dir()), {}), 1);  // no temporary left
}

}  // namespace
}  // namespace tolvane
