#include "files/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "test_support.h"

namespace tolvane {
namespace {

TEST(AtomicFile, ReplacesTheTargetAndKeepsItsPermissions) {
  testing::TempDir dir;
  const std::string path = dir.path("a.bin");
  const std::vector<uint8_t> first{1, 2, 3};
  ASSERT_TRUE(writeFileAtomically(path, first.data(), first.size()));
  EXPECT_EQ(testing::readFileBytes(path), first);
  ::chmod(path.c_str(), 0640);
  const std::vector<uint8_t> second(100000, 7);
  ASSERT_TRUE(writeFileAtomically(path, second.data(), second.size()));
  EXPECT_EQ(testing::readFileBytes(path), second);
  struct stat info {};
  ::stat(path.c_str(), &info);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.dir()), {}), 1);
}

TEST(AtomicFile, AFailureLeavesNoTemporaryAndReportsWhy) {
  testing::TempDir dir;
  std::string error;
  const uint8_t byte = 1;
  EXPECT_FALSE(writeFileAtomically(dir.path("no/such/folder.bin"), &byte, 1, &error));
  EXPECT_NE(error.find("temporary"), std::string::npos);
  std::filesystem::create_directory(dir.path("taken"));
  EXPECT_FALSE(writeFileAtomically(dir.path("taken"), &byte, 1, &error));
  EXPECT_NE(error.find("rename"), std::string::npos);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.dir()), {}), 1);
}

}  // namespace
}  // namespace tolvane
