// The binary spectrum file: layout, round trips, refusals, memories.
#include "handlers/file_handlers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "records/little_endian.h"
#include "test_support.h"

namespace tolvane {
namespace {

using testing::readFileBytes;
using testing::writeFileBytes;

// A file image with `channels` counts (count[c] = 3c + 1) whose header
// claims `headerChannels`.
std::vector<uint8_t> fileImage(int channels, int headerChannels) {
  SpectrumFileHeader h;
  h.setMakerText();
  h.setChannelCount(static_cast<int16_t>(headerChannels));
  h.setCalibrationMarker(1.0f);
  std::vector<int32_t> counts(static_cast<size_t>(channels));
  for (int c = 0; c < channels; ++c) counts[static_cast<size_t>(c)] = 3 * c + 1;
  return encodeSpectrumFile(h, counts.data(), channels);
}

struct FileRig {
  FileRig() { session().Texts.Edit1.clear(); }
  Session& session() { return *rig.session; }
  testing::SimRig rig{0};
  testing::TempDir dir;
};

TEST(SpectrumFile, A1024ChannelSpectrumRoundTripsThroughA5120ByteFile) {
  FileRig f;
  Session& s = f.session();
  s.Acquisition.ChannelCount = 1024;
  for (int c = 0; c < 1024; ++c) s.Working.Counts[static_cast<size_t>(c)] = c * c - 7;
  s.Acquisition.LiveTime = 480;
  s.Acquisition.RealTime = 500;
  s.Acquisition.PresetTime = 600;
  s.Calibration = {1, {'k', 'e', 'V'}, 128, 896, 1, 7, 0.0078125f, 0.25f};
  s.Rois.Entries[3].LowChannel = 100;
  s.Rois.Entries[3].HighChannel = 200;
  s.Rois.Entries[3].Colour = 0x0000FF;
  const std::string path = f.dir.path("round.dat");
  ASSERT_TRUE(WriteSpectrumFile(s, path));
  EXPECT_EQ(std::filesystem::file_size(path), 5120u);
  EXPECT_EQ(s.Working.Name, "round.dat");
  const auto bytes = readFileBytes(path);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data())), "Velquarion Co., Ltd.");
  EXPECT_EQ(loadF32(&bytes[64]), 0.0f);  // a calibration is stored
  EXPECT_EQ(loadF32(&bytes[68]), 0.0078125f);
  EXPECT_EQ(loadI32(&bytes[704]), 600);
  EXPECT_EQ(loadI32(&bytes[1024 + 4 * 1023]), 1023 * 1023 - 7);

  testing::SimRig other(0);
  Session& t = *other.session;
  ASSERT_TRUE(ReadSpectrumFile(t, path));
  EXPECT_EQ(t.Acquisition.ChannelCount, 1024);
  for (int c = 0; c < 1024; ++c) ASSERT_EQ(t.Working.Counts[static_cast<size_t>(c)], c * c - 7);
  EXPECT_EQ(t.Acquisition.LiveTime, 480);
  EXPECT_EQ(t.Acquisition.RealTime, 500);
  EXPECT_EQ(t.Acquisition.PresetTime, 600);
  EXPECT_EQ(t.Calibration.Valid, 1);
  EXPECT_EQ(t.Calibration.Gain, 0.0078125f);
  EXPECT_EQ(t.Calibration.Offset, 0.25f);
  EXPECT_EQ(t.Rois.Entries[3].LowChannel, 100);
  EXPECT_EQ(t.Rois.Entries[3].HighChannel, 200);
  EXPECT_EQ(t.Rois.Entries[3].Colour, 0x0000FFu);
  EXPECT_EQ(t.Display.FirstShown, 0);
  EXPECT_EQ(t.Display.LastShown, 1023);
  EXPECT_EQ(t.Display.Cursor, 512);
  EXPECT_EQ(t.Texts.Label2, "1023ch");
  EXPECT_EQ(t.Texts.Label3, "512");
  EXPECT_TRUE(t.Display.LogScale);
}

// The plot shows the spectrum under the name of the file it was written
// to as soon as it is written, as a binary file or a text dump; a write
// that fails has named it all the same, and the plot says so too.
TEST(SpectrumFile, AWrittenSpectrumShowsItsFileNameOnThePlotAtOnce) {
  FileRig f;
  Session& s = f.session();
  testing::fillSpectrum(s, 1024, [](int c) { return c; });
  s.Working.setName("MCA");
  const auto shownName = [&] {
    for (const PlotText& t : s.Plot.Readouts)
      if (t.x == 50 && t.y == 5) return t.text;
    return std::string("(none)");
  };
  ASSERT_TRUE(WriteSpectrumFile(s, f.dir.path("quartz.dat")));
  EXPECT_EQ(shownName(), "quartz.dat");
  ASSERT_TRUE(WriteAsciiDump(s, f.dir.path("quartz.txt")));
  EXPECT_EQ(shownName(), "quartz.txt");
  EXPECT_FALSE(WriteSpectrumFile(s, f.dir.path("no-such-folder/x.dat")));
  EXPECT_EQ(shownName(), s.Working.Name);
  EXPECT_EQ(shownName(), "x.dat");
}

TEST(SpectrumFile, AnUncalibratedSpectrumIsWrittenWithMarkerOneAndLeavesTheCalibrationAlone) {
  FileRig f;
  Session& s = f.session();
  const std::string path = f.dir.path("plain.dat");
  ASSERT_TRUE(WriteSpectrumFile(s, path));
  const auto bytes = readFileBytes(path);
  EXPECT_EQ(loadF32(&bytes[64]), 1.0f);
  EXPECT_EQ(loadF32(&bytes[68]), 0.0f);

  s.Calibration.Valid = 1;
  s.Calibration.Gain = 0.01f;
  s.Calibration.Offset = -0.2f;
  ASSERT_TRUE(ReadSpectrumFile(s, path));
  EXPECT_EQ(s.Calibration.Gain, 0.01f);
  EXPECT_EQ(s.Calibration.Offset, -0.2f);
}

TEST(SpectrumFile, AHeaderWithoutAUsableGainKeepsTheCalibrationInForce) {
  FileRig f;
  Session& s = f.session();
  s.Calibration = {1, {'k', 'e', 'V'}, 0, 0, 0, 0, 0.01f, 0.5f};
  for (float gain : {0.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
    auto image = fileImage(512, 512);
    storeF32(&image[64], 0.0f);
    storeF32(&image[68], gain);
    const std::string path = f.dir.path("blank.dat");
    writeFileBytes(path, image);
    ASSERT_TRUE(ReadSpectrumFile(s, path));
    EXPECT_EQ(s.Calibration.Gain, 0.01f);
    EXPECT_EQ(s.Calibration.Offset, 0.5f);
  }
}

TEST(SpectrumFile, RoiColoursKeepTheirLow16BitsSignExtended) {
  FileRig f;
  Session& s = f.session();
  s.Rois.Entries[0].Colour = 0xFF0000;  // pure blue: low 16 bits are 0
  s.Rois.Entries[1].Colour = 0x00FF00;  // bit 15 set
  const std::string path = f.dir.path("colours.dat");
  ASSERT_TRUE(WriteSpectrumFile(s, path));
  ASSERT_TRUE(ReadSpectrumFile(s, path));
  EXPECT_EQ(s.Rois.Entries[0].Colour, 0u);
  EXPECT_EQ(s.Rois.Entries[1].Colour, 0xFFFFFF00u);
}

TEST(SpectrumFile, ChannelCountsTheReaderRefuses) {
  struct Case {
    int channels, headerChannels;
    const char* shown;
  };
  for (const Case& c :
       {Case{256, 256, "Refused: 0 ch"}, Case{8192 + 512, 9000, "Refused: 8192 ch"},
        Case{1024 + 512, 1024, "Refused: 1536 ch"}, Case{1000, 1024, "Refused: 512 ch"}, Case{0, 0, "Refused: 0 ch"}}) {
    FileRig f;
    Session& s = f.session();
    s.Working.Header.setComment("previous");
    s.Working.setName("before.dat");
    const SpectrumFileHeader before = s.Working.Header;
    const std::vector<int32_t> counts = s.Working.Counts;
    const std::string path = f.dir.path("bad.dat");
    writeFileBytes(path, fileImage(c.channels, c.headerChannels));
    const SpectrumFileRead read = readSpectrumPath(path);
    EXPECT_EQ(read.outcome, SpectrumFileRead::Outcome::Refused) << c.channels;
    ASSERT_TRUE(ReadSpectrumFile(s, path));
    EXPECT_EQ(s.Texts.Edit1, c.shown) << c.channels;
    // The spectrum on screen keeps its header, counts and name.
    EXPECT_EQ(s.Working.Header, before);
    EXPECT_EQ(s.Working.Counts, counts);
    EXPECT_EQ(s.Working.Name, "before.dat");
    EXPECT_EQ(s.Acquisition.ChannelCount, 4096);
    EXPECT_TRUE(s.Display.LogScale);
  }
}

TEST(SpectrumFile, ReadsFromABufferAsFromAPath) {
  const auto image = fileImage(1024, 1024);
  const SpectrumFileRead read = readSpectrumBytes(image.data(), image.size());
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(read.channels, 1024);
  ASSERT_EQ(read.counts.size(), 1024u);
  EXPECT_EQ(read.counts[1023], 3 * 1023 + 1);
  EXPECT_EQ(readSpectrumPath("/nonexistent/x.dat").outcome, SpectrumFileRead::Outcome::CannotOpen);
}

// The standards' rule of the same reader: whole blocks, at most 8; the
// header's count, where it differs, is only reported. The counts are the
// ones File > Read takes.
TEST(SpectrumFile, TheStandardsRuleReadsWholeBlocksUpTo4096AndOnlyReportsTheHeader) {
  struct Case {
    int channels, headerChannels, read;
  };
  for (const Case& c : {Case{1000, 1000, 512}, Case{4096, 2048, 4096}, Case{8192, 8192, 4096}, Case{2048, 2048, 2048},
                        Case{1024 + 512, 1024, 1536}}) {
    const auto image = fileImage(c.channels, c.headerChannels);
    const SpectrumFileRead standard = readSpectrumBytes(image.data(), image.size(), SpectrumReadRule::Standard);
    ASSERT_TRUE(standard.ok()) << c.channels;
    EXPECT_EQ(standard.channels, c.read) << c.channels;
    ASSERT_EQ(standard.counts.size(), static_cast<size_t>(c.read));
    EXPECT_EQ(standard.counts.back(), 3 * (c.read - 1) + 1);
    EXPECT_EQ(standard.headerDisagrees(), c.read != c.headerChannels) << c.channels;
    // File > Read takes the same file only where its header agrees with all of it.
    EXPECT_EQ(readSpectrumBytes(image.data(), image.size()).ok(), c.channels / 512 * 512 == c.headerChannels);
  }
  // No whole block is no spectrum by either rule.
  const auto image = fileImage(511, 511);
  const SpectrumFileRead none = readSpectrumBytes(image.data(), image.size(), SpectrumReadRule::Standard);
  EXPECT_EQ(none.outcome, SpectrumFileRead::Outcome::Refused);
  EXPECT_FALSE(none.headerDisagrees());
}

TEST(SpectrumFile, AFileOf8192ChannelsReadsInFull) {
  FileRig f;
  Session& s = f.session();
  const std::string path = f.dir.path("big.dat");
  writeFileBytes(path, fileImage(8192, 8192));
  ASSERT_TRUE(ReadSpectrumFile(s, path));
  EXPECT_EQ(s.Acquisition.ChannelCount, 8192);
  EXPECT_EQ(s.Working.Counts[8191], 3 * 8191 + 1);
  EXPECT_EQ(s.Display.LastShown, 8191);
}

TEST(SpectrumFile, TrailingCountsShorterThanABlockAreIgnored) {
  FileRig f;
  Session& s = f.session();
  const std::string path = f.dir.path("trail.dat");
  writeFileBytes(path, fileImage(1024 + 100, 1024));
  ASSERT_TRUE(ReadSpectrumFile(s, path));
  EXPECT_EQ(s.Acquisition.ChannelCount, 1024);
  EXPECT_EQ(s.Texts.Edit1, "");
  EXPECT_EQ(s.Working.Counts[1024], 1024);  // the partial block never lands
}

TEST(SpectrumFile, ReservedHeaderBytesSurviveReadThenWriteByteForByte) {
  FileRig f;
  Session& s = f.session();
  auto image = fileImage(512, 512);
  for (int offset : {21, 40, 53, 56, 63, 76, 86, 694, 708, 720, 773, 838, 1000, 1023})
    image[static_cast<size_t>(offset)] = static_cast<uint8_t>(0xA0 + offset % 31);
  // ROI entries 16..99 are reserved too.
  storeI16(&image[94 + 2 * 50], 1234);
  const std::string in = f.dir.path("in.dat");
  const std::string out = f.dir.path("out.dat");
  writeFileBytes(in, image);
  ASSERT_TRUE(ReadSpectrumFile(s, in));
  ASSERT_TRUE(WriteSpectrumFile(s, out));
  EXPECT_EQ(readFileBytes(out), image);
}

TEST(SpectrumFile, ReadingWhileAMemoryIsSelectedFillsItToo) {
  FileRig f;
  Session& s = f.session();
  s.SelectedMemory = 2;
  const std::string path = f.dir.path("mem.dat");
  writeFileBytes(path, fileImage(1024, 1024));
  ASSERT_TRUE(ReadSpectrumFile(s, path));
  EXPECT_EQ(s.Memories[1].Counts[1023], 3 * 1023 + 1);
  EXPECT_EQ(s.Memories[1].Name, "mem.dat");
  EXPECT_EQ(s.Memories[1].Header, s.Working.Header);
  EXPECT_EQ(s.Memories[0].Counts[1023], 1023);  // Mem1 untouched
}

TEST(SpectrumFile, AMemoryKeepsOnly4096ChannelsOfALargerFileAndSaysSo) {
  FileRig f;
  Session& s = f.session();
  s.SelectedMemory = 1;
  const std::string path = f.dir.path("big.dat");
  writeFileBytes(path, fileImage(8192, 8192));
  ASSERT_TRUE(ReadSpectrumFile(s, path));
  EXPECT_EQ(s.Memories[0].Counts[4095], 3 * 4095 + 1);
  EXPECT_EQ(s.Memories[0].capacity(), 4096);
  EXPECT_EQ(s.Texts.Edit1, "Mem1 keeps 4096 of 8192 ch");
  EXPECT_EQ(s.Acquisition.ChannelCount, 8192);
}

TEST(SpectrumFile, AFailedWriteSaysSoAndLeavesTheOldFileWhole) {
  FileRig f;
  Session& s = f.session();
  const std::string path = f.dir.path("keep.dat");
  const auto old = fileImage(512, 512);
  writeFileBytes(path, old);
  // A target that cannot be replaced: a folder of the same name.
  const std::string blocked = f.dir.path("folder.dat");
  std::filesystem::create_directory(blocked);
  std::filesystem::create_directory(blocked + "/x");
  EXPECT_FALSE(WriteSpectrumFile(s, blocked));
  EXPECT_EQ(s.Texts.Edit1, "File Write Error !");
  EXPECT_TRUE(std::filesystem::is_directory(blocked + "/x"));
  // A folder that does not exist.
  s.Texts.Edit1.clear();
  EXPECT_FALSE(WriteSpectrumFile(s, f.dir.path("missing/x.dat")));
  EXPECT_EQ(s.Texts.Edit1, "File Write Error !");
  EXPECT_EQ(readFileBytes(path), old);
  // No temporary file is left behind.
  int entries = 0;
  for (auto& e : std::filesystem::directory_iterator(f.dir.dir())) entries += e.is_regular_file();
  EXPECT_EQ(entries, 1);
}

TEST(SpectrumFile, AFileThatCannotBeOpenedChangesNothingButTheStatus) {
  FileRig f;
  Session& s = f.session();
  s.Working.setName("before.dat");
  EXPECT_FALSE(ReadSpectrumFile(s, f.dir.path("absent.dat")));
  EXPECT_EQ(s.Working.Name, "before.dat");
  EXPECT_EQ(s.Texts.Edit1, "File Read Error !");
  EXPECT_EQ(s.Working.Counts[10], 10);
}

TEST(SpectrumFile, NamesAreTakenAfterTheLastSlashOrBackslash) {
  FileRig f;
  Session& s = f.session();
  const std::string path = f.dir.path("a\\b.dat");
  ASSERT_TRUE(WriteSpectrumFile(s, path));
  EXPECT_EQ(s.Working.Name, "b.dat");
  EXPECT_EQ(s.LastPath, path);
}

}  // namespace
}  // namespace tolvane
