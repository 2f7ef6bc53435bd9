// The file operations as the command line and other callers see them: each
// says what happened as a typed outcome and leaves the window's texts and
// the plot alone; only what a good read or write should change changes.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "files/ascii_dump.h"
#include "files/emsa_import.h"
#include "files/export_file.h"
#include "files/spectrum_file.h"
#include "test_support.h"

namespace tolvane {
namespace {

constexpr const char* kUntouched = "untouched";

struct Rig {
  Rig() {
    // Sentinels: no file operation may write a window text.
    s().Texts.Edit1 = s().Texts.Label1 = s().Texts.Label2 = s().Texts.Label3 = kUntouched;
  }
  Session& s() { return *rig.session; }
  void expectNoWindowText() {
    EXPECT_EQ(s().Texts.Edit1, kUntouched);
    EXPECT_EQ(s().Texts.Label1, kUntouched);
    EXPECT_EQ(s().Texts.Label2, kUntouched);
    EXPECT_EQ(s().Texts.Label3, kUntouched);
  }
  testing::SimRig rig{0};
  testing::TempDir dir;
};

std::vector<uint8_t> image(int channels, int headerChannels, int32_t base = 0) {
  SpectrumFileHeader h;
  h.setMakerText();
  h.setChannelCount(static_cast<int16_t>(headerChannels));
  h.setCalibrationMarker(0.0f);
  h.setGain(0.01f);
  h.setOffset(-0.5f);
  h.setComment("engine");
  std::vector<int32_t> counts(static_cast<size_t>(channels));
  for (int c = 0; c < channels; ++c) counts[static_cast<size_t>(c)] = base + 5 * c;
  return encodeSpectrumFile(h, counts.data(), channels);
}

// A stream whose every write fails, like a full disk.
struct FullDisk : std::streambuf {
  int overflow(int) override { return traits_type::eof(); }
  std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

TEST(SpectrumFileOutcome, StreamsCarryTheSameBytesAsFilesAndAFailedStreamIsAFailedWrite) {
  const std::vector<uint8_t> bytes = image(1536, 1536, -40);
  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  const SpectrumFileRead read = readSpectrumStream(in);
  ASSERT_EQ(read.outcome, SpectrumFileRead::Outcome::Read);
  ASSERT_EQ(read.channels, 1536);
  EXPECT_EQ(read.counts[1535], -40 + 5 * 1535);
  EXPECT_EQ(read.header.comment(), "engine");

  std::ostringstream out;
  ASSERT_EQ(writeSpectrumStream(out, read.header, read.counts.data(), read.channels), FileWriteOutcome::Written);
  EXPECT_EQ(out.str(), std::string(bytes.begin(), bytes.end()));

  FullDisk full;
  std::ostream broken(&full);
  EXPECT_EQ(writeSpectrumStream(broken, read.header, read.counts.data(), read.channels), FileWriteOutcome::WriteFailed);
}

TEST(SpectrumFileOutcome, OnlyAGoodReadChangesTheSessionAndNoneWritesWindowText) {
  Rig r;
  Session& s = r.s();
  s.Working.setName("kept.dat");
  s.Working.Counts[7] = 1234;
  s.Acquisition.ChannelCount = 4096;
  s.LastPath = "/earlier/kept.dat";
  s.Calibration = {};

  const SpectrumFileTake missing = readSpectrumInto(s, r.dir.path("absent.dat"));
  EXPECT_EQ(missing.outcome, SpectrumFileRead::Outcome::CannotOpen);

  const std::string shortFile = r.dir.path("short.dat");
  testing::writeFileBytes(shortFile, image(1024, 2048));  // the header claims a block more than is there
  const SpectrumFileTake refused = readSpectrumInto(s, shortFile);
  EXPECT_EQ(refused.outcome, SpectrumFileRead::Outcome::Refused);
  EXPECT_EQ(refused.channels, 1024);
  EXPECT_EQ(refused.adoption.channels, 0);
  for (const SpectrumFileTake* t : {&missing, &refused}) EXPECT_EQ(t->adoption.memory, 0);
  EXPECT_EQ(s.Working.Name, "kept.dat");
  EXPECT_EQ(s.Working.Counts[7], 1234);
  EXPECT_EQ(s.Acquisition.ChannelCount, 4096);
  EXPECT_EQ(s.LastPath, "/earlier/kept.dat");
  EXPECT_EQ(s.Calibration.Valid, 0);

  const std::string good = r.dir.path("good.dat");
  testing::writeFileBytes(good, image(2048, 2048));
  const SpectrumFileTake read = readSpectrumInto(s, good);
  ASSERT_EQ(read.outcome, SpectrumFileRead::Outcome::Read);
  EXPECT_EQ(read.adoption.channels, 2048);
  EXPECT_EQ(read.adoption.memory, 0);  // the MCA slot is selected: no memory copy
  EXPECT_FALSE(read.adoption.memoryCut());
  EXPECT_EQ(s.Working.Name, "good.dat");
  EXPECT_EQ(s.LastPath, good);
  EXPECT_EQ(s.Working.Counts[2047], 5 * 2047);
  EXPECT_EQ(s.Acquisition.ChannelCount, 2048);
  EXPECT_EQ(s.Display.FirstShown, 0);
  EXPECT_EQ(s.Display.LastShown, 2047);
  EXPECT_EQ(s.Display.Cursor, 1024);
  EXPECT_TRUE(s.Display.LogScale);
  EXPECT_EQ(s.Calibration.Valid, 1);
  EXPECT_EQ(s.Calibration.Gain, 0.01f);
  r.expectNoWindowText();
}

TEST(SpectrumFileOutcome, TheAdoptionSaysHowMuchOfALargeSpectrumTheSelectedMemoryKept) {
  Rig r;
  Session& s = r.s();
  s.SelectedMemory = 2;
  const std::vector<uint8_t> bytes = image(8192, 8192, 1);
  const SpectrumFileTake take = takeSpectrumRead(s, "big.dat", readSpectrumBytes(bytes.data(), bytes.size()));
  ASSERT_EQ(take.outcome, SpectrumFileRead::Outcome::Read);
  EXPECT_EQ(take.adoption.memory, 2);
  EXPECT_EQ(take.adoption.memoryKept, 4096);
  EXPECT_TRUE(take.adoption.memoryCut());
  EXPECT_EQ(s.Memories[1].Counts[4095], 1 + 5 * 4095);
  EXPECT_EQ(s.Memories[1].Name, "big.dat");

  const std::vector<uint8_t> small = image(512, 512);
  const SpectrumFileTake fits = takeSpectrumRead(s, "small.dat", readSpectrumBytes(small.data(), small.size()));
  EXPECT_EQ(fits.adoption.memoryKept, 512);
  EXPECT_FALSE(fits.adoption.memoryCut());
  r.expectNoWindowText();
}

TEST(FileWriteOutcome, FailedWritesAreOutcomesAndTheTargetIsNeverHalfWritten) {
  Rig r;
  Session& s = r.s();
  testing::fillSpectrum(s, 1024, [](int c) { return c; });
  const std::string missingFolder = r.dir.path("no/such/folder/x");
  EXPECT_EQ(writeWorkingSpectrum(s, missingFolder + ".dat"), FileWriteOutcome::WriteFailed);
  EXPECT_EQ(s.Working.Name, "x.dat");  // the name follows the chosen path even when the write fails
  EXPECT_EQ(writeAsciiDump(s, missingFolder + ".txt"), FileWriteOutcome::WriteFailed);
  EXPECT_EQ(writeExportFile(s, missingFolder + ".csv", ExportFormat::Csv), FileWriteOutcome::WriteFailed);
  EXPECT_FALSE(std::filesystem::exists(r.dir.path("no")));
  r.expectNoWindowText();

  const std::string dat = r.dir.path("w.dat");
  ASSERT_EQ(writeWorkingSpectrum(s, dat), FileWriteOutcome::Written);
  EXPECT_EQ(std::filesystem::file_size(dat), 1024u + 4 * 1024);
  const std::string txt = r.dir.path("w.txt");
  ASSERT_EQ(writeAsciiDump(s, txt), FileWriteOutcome::Written);
  EXPECT_EQ(s.Working.Name, "w.txt");
  std::ostringstream dump;
  ASSERT_EQ(writeAsciiDumpStream(dump, s), FileWriteOutcome::Written);
  const std::vector<uint8_t> onDisk = testing::readFileBytes(txt);
  EXPECT_EQ(dump.str(), std::string(onDisk.begin(), onDisk.end()));
  r.expectNoWindowText();
}

TEST(ImportOutcome, ImportSaysWhatTheFileNeededWithoutTouchingTheStatusField) {
  Rig r;
  Session& s = r.s();
  EXPECT_EQ(importEmsaPath(s, r.dir.path("none.msa")).kind, ImportOutcome::Kind::CannotOpen);

  const std::string bad = r.dir.path("bad.msa");
  testing::writeFileBytes(bad, {'n', 'o', 't', '\n'});
  const ImportOutcome refused = importEmsaPath(s, bad);
  EXPECT_EQ(refused.kind, ImportOutcome::Kind::Refused);
  EXPECT_EQ(importAdjustmentText(refused), "");

  const std::string good = std::string(TOLVANE_EMSA_DATA) + "/xy_commas.msa";
  const ImportOutcome loaded = importEmsaPath(s, good);
  ASSERT_EQ(loaded.kind, ImportOutcome::Kind::Loaded) << describeEmsaRefusal(loaded.read);
  EXPECT_EQ(loaded.channels, 512);
  EXPECT_EQ(loaded.adoption.channels, 512);
  EXPECT_EQ(importAdjustmentText(loaded), "Counts rounded; Padded 8 -> 512 ch");
  EXPECT_EQ(s.Working.Name, "xy_commas.msa");
  EXPECT_EQ(s.LastPath, good);
  r.expectNoWindowText();
}

}  // namespace
}  // namespace tolvane
