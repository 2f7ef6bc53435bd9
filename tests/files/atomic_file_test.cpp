#include "files/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "files/output_path.h"
#include "test_support.h"
#include "writes_refused.h"

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

TEST(AtomicFile, KeepingAnExistingTargetNeverReplacesIt) {
  testing::TempDir dir;
  const std::string path = dir.path("kept.dat");
  const std::vector<uint8_t> old{9, 9};
  const std::vector<uint8_t> fresh{1, 2, 3};
  // A free name is taken.
  ASSERT_TRUE(writeFileAtomically(path, old.data(), old.size(), nullptr, IfTargetExists::Keep));
  EXPECT_EQ(testing::readFileBytes(path), old);
  // A taken one is refused, the file stays as it was, no temporary is left.
  std::string error;
  EXPECT_FALSE(writeFileAtomically(path, fresh.data(), fresh.size(), &error, IfTargetExists::Keep));
  EXPECT_NE(error.find("rename"), std::string::npos) << error;
  EXPECT_EQ(testing::readFileBytes(path), old);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.dir()), {}), 1);
  // Through a link to an existing file: kept as well.
  const std::string link = dir.path("link.dat");
  ASSERT_EQ(::symlink(path.c_str(), link.c_str()), 0);
  EXPECT_FALSE(writeFileAtomically(link, fresh.data(), fresh.size(), nullptr, IfTargetExists::Keep));
  EXPECT_EQ(testing::readFileBytes(path), old);
}

TEST(AtomicFile, ALongNameThatTheFileSystemTakesIsWritten) {
  testing::TempDir dir;
  const uint8_t byte = 5;
  for (size_t length : {200u, 245u, 250u, 255u}) {
    const std::string path = dir.path(std::string(length - 4, 'n') + ".dat");
    std::string error;
    ASSERT_TRUE(writeFileAtomically(path, &byte, 1, &error)) << length << " " << error;
    ASSERT_TRUE(writeFileAtomically(path, &byte, 1, &error)) << length << " " << error;  // and replaced
    EXPECT_EQ(testing::readFileBytes(path), std::vector<uint8_t>{5});
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.dir()), {}), 4);
}

TEST(AtomicFile, ALinkIsWrittenThroughAndStays) {
  testing::TempDir dir;
  std::filesystem::create_directory(dir.path("elsewhere"));
  testing::writeFileBytes(dir.path("elsewhere/t.ref"), {1});
  // A relative link, and a link to that link.
  std::filesystem::create_symlink("elsewhere/t.ref", dir.path("link.ref"));
  std::filesystem::create_symlink(dir.path("link.ref"), dir.path("link2.ref"));
  const std::vector<uint8_t> bytes{9, 8, 7};
  ASSERT_TRUE(writeFileAtomically(dir.path("link2.ref"), bytes.data(), bytes.size()));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.path("link.ref")));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.path("link2.ref")));
  EXPECT_EQ(testing::readFileBytes(dir.path("elsewhere/t.ref")), bytes);
  // A link whose target does not exist yet: the target is made.
  std::filesystem::create_symlink("new.dat", dir.path("dangling.dat"));
  ASSERT_TRUE(writeFileAtomically(dir.path("dangling.dat"), bytes.data(), bytes.size()));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.path("dangling.dat")));
  EXPECT_EQ(testing::readFileBytes(dir.path("new.dat")), bytes);
}

TEST(AtomicFile, ADeviceIsWrittenToAndNeverReplaced) {
  const uint8_t byte = 1;
  struct stat before {};
  ASSERT_EQ(::stat("/dev/null", &before), 0);
  EXPECT_TRUE(writeFileAtomically("/dev/null", &byte, 1));
  struct stat after {};
  ASSERT_EQ(::stat("/dev/null", &after), 0);
  EXPECT_TRUE(S_ISCHR(after.st_mode));
  EXPECT_EQ(before.st_rdev, after.st_rdev);
  std::string error;
  EXPECT_FALSE(writeFileAtomically("/dev/full", &byte, 1, &error));
  EXPECT_NE(error.find("write"), std::string::npos);
}

TEST(OutputPath, SaysWhyAnOutputCannotBeWritten) {
  testing::TempDir dir;
  std::filesystem::create_directory(dir.path("folder"));
  EXPECT_EQ(checkOutputPath(dir.path("new.dat")), OutputProblem::None);
  EXPECT_EQ(checkOutputPath(dir.path("none/new.dat")), OutputProblem::NoSuchFolder);
  EXPECT_EQ(checkOutputPath(dir.path("folder")), OutputProblem::IsFolder);
  std::filesystem::create_symlink(dir.path("folder"), dir.path("to-folder"));
  EXPECT_EQ(checkOutputPath(dir.path("to-folder")), OutputProblem::IsFolder);
  std::filesystem::create_symlink(dir.path("none/x.dat"), dir.path("broken.dat"));
  EXPECT_EQ(checkOutputPath(dir.path("broken.dat")), OutputProblem::NoSuchFolder);
  EXPECT_EQ(checkOutputPath("/dev/null"), OutputProblem::None);
  testing::writeFileBytes(dir.path("ro.dat"), {1});
  const testing::WritesRefused refused({dir.path("folder"), dir.path("ro.dat")});
  if (!refused.unavailable().empty()) GTEST_SKIP() << refused.unavailable();
  EXPECT_EQ(checkOutputPath(dir.path("folder/x.dat")), OutputProblem::FolderNotWritable);
  EXPECT_EQ(checkOutputPath(dir.path("ro.dat")), OutputProblem::NotWritable);
}

}  // namespace
}  // namespace tolvane
