#include "handlers/file_handlers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "test_support.h"
#include "writes_refused.h"

namespace tolvane {
namespace {

std::vector<std::string> splitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  EXPECT_EQ(start, text.size());  // nothing after the last line end
  return lines;
}

TEST(AsciiDump, HeaderLinesAndOneLinePerChannelWithCrLf) {
  testing::SimRig rig(0);
  testing::TempDir dir;
  Session& s = *rig.session;
  s.Acquisition.ChannelCount = 1024;
  s.Acquisition.LiveTime = 481;
  s.Acquisition.RealTime = 500;
  s.Working.Header.setStartTime({2026, 3, 7, 9, 5, 0});
  s.Working.Header.setSampleId("S-1");
  s.Working.Counts[1023] = 123456789;
  s.Working.Counts[5] = -1;
  const std::string path = dir.path("dump.txt");
  ASSERT_TRUE(WriteAsciiDump(s, path));
  EXPECT_EQ(s.Working.Name, "dump.txt");
  const auto bytes = testing::readFileBytes(path);
  const std::string text(bytes.begin(), bytes.end());
  const auto lines = splitCrLf(text);
  ASSERT_EQ(lines.size(), 11u + 1024u);
  EXPECT_EQ(lines[0], "*** Velquarion Co., MCA Binary Data to ASCII Data Dump ***");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], "Data File Name, dump.txt");
  EXPECT_EQ(lines[3], "Data Comment, ");
  EXPECT_EQ(lines[4], "Sample ID, S-1");
  EXPECT_EQ(lines[5], "Acq. Date, 2026/ 3/ 7,  9: 5: 0");
  EXPECT_EQ(lines[6], "Live Time,     48.1");
  EXPECT_EQ(lines[7], "Real Time,     50.0");
  EXPECT_EQ(lines[8], "Mca Ch Size, 1024");
  EXPECT_EQ(lines[9], "");
  EXPECT_EQ(lines[10], "ch  ,  data");
  EXPECT_EQ(lines[11], "   0,       0");
  EXPECT_EQ(lines[16], "   5,      -1");
  EXPECT_EQ(lines.back(), "1023,123456789");  // nine digits widen the line
  EXPECT_EQ(text.find('\n') - 1, text.find('\r'));
}

TEST(AsciiDump, AFailedDumpSaysSoAndLeavesTheOldFile) {
  testing::SimRig rig(0);
  testing::TempDir dir;
  Session& s = *rig.session;
  const std::string folder = dir.path("taken.txt");
  std::filesystem::create_directory(folder);
  EXPECT_FALSE(WriteAsciiDump(s, folder));
  EXPECT_EQ(s.Texts.Edit1, "File Write Error !");
  EXPECT_TRUE(std::filesystem::is_directory(folder));
}

TEST(AsciiDump, AFolderThatTakesNoNewFilesKeepsTheOldDump) {
  testing::SimRig rig(0);
  testing::TempDir dir;
  Session& s = *rig.session;
  const std::string path = dir.path("keep.txt");
  testing::writeFileBytes(path, {'o', 'l', 'd'});
  bool written = true;
  {
    const testing::WritesRefused refused({dir.dir()});  // no new files in the folder
    if (!refused.unavailable().empty()) GTEST_SKIP() << refused.unavailable();
    written = WriteAsciiDump(s, path);
  }
  EXPECT_FALSE(written);
  EXPECT_EQ(s.Texts.Edit1, "File Write Error !");
  EXPECT_EQ(testing::readFileBytes(path), (std::vector<uint8_t>{'o', 'l', 'd'}));
}

}  // namespace
}  // namespace tolvane
