// Where a mapping scan saves its passes: numbering that never replaces a
// file of an earlier scan, fixed-width numbers, passes lost in transfer,
// and what each pass file's header says.
#include "acquisition/pass_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "handlers/scan_setup_handlers.h"
#include "files/spectrum_file.h"
#include "handlers/mapping_handlers.h"
#include "handlers/mca_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

// Sets up a 512-channel scan of 0.5 s passes saved beside `chosen`.
void setUpScan(testing::SimRig& rig, const std::string& chosen) {
  rig.open();
  Button7Click(*rig.session, [&](ScanSetupFields& f) {
    f.MemorySize = 512;
    f.ZORVPreSetTime = "5";
    f.SavePath = chosen;
    return true;
  });
}

// Runs ticks until `passes` more passes were counted (bounded).
void runPasses(testing::SimRig& rig, int passes) {
  const int target = rig.session->Acquisition.ScanCount + passes;
  for (int i = 0; i < 200 && rig.session->Acquisition.ScanCount < target; ++i) rig.tick();
  ASSERT_EQ(rig.session->Acquisition.ScanCount, target);
}

TEST(PassFiles, NamesHaveAFixedWidthWideEnoughForTheLastNumber) {
  EXPECT_EQ(passFilePath("/d/map.dat", 7), "/d/map_0007.dat");
  EXPECT_EQ(passFilePath("/d.x/map", 7), "/d.x/map_0007.dat");  // a dot in the folder stays
  EXPECT_EQ(passFilePath("/d/map.dat", 7, 5), "/d/map_00007.dat");
  EXPECT_EQ(passFileDigits(0), 4);
  EXPECT_EQ(passFileDigits(9999), 4);
  EXPECT_EQ(passFileDigits(10000), 5);
  EXPECT_EQ(passFileDigits(123456), 6);

  testing::TempDir dir;
  EXPECT_EQ(planPassFiles(dir.path("m.dat"), 9999).digits, 4);
  const PassFilePlan wide = planPassFiles(dir.path("m.dat"), 10000);
  EXPECT_EQ(wide.firstNumber, 1);
  EXPECT_EQ(wide.digits, 5);  // _00001 ... _10000 sort in pass order
  EXPECT_EQ(planPassFiles(dir.path("none/m.dat"), 3).error, PassPlanError::NoFolder);
  testing::writeFileBytes(dir.path("file"), {1});
  EXPECT_EQ(planPassFiles(dir.path("file/m.dat"), 3).error, PassPlanError::NotAFolder);
}

TEST(PassFiles, NumberingContinuesPastTheHighestFileOfThisNameOnly) {
  testing::TempDir dir;
  for (const char* name : {"map_0001.dat", "map_0003.dat", "map_00012.dat", "mapx_0099.dat", "map_0x50.dat",
                           "map_0077.txt", "map_.dat", "other_0500.dat"})
    testing::writeFileBytes(dir.path(name), {1});
  EXPECT_EQ(highestPassFile(dir.path("map.dat")), 12);
  EXPECT_EQ(planPassFiles(dir.path("map.dat"), 0).firstNumber, 13);
  EXPECT_EQ(highestPassFile(dir.path("fresh.dat")), 0);
}

TEST(PassFiles, NumbersStopAtTheLastOneInsteadOfGrowingOrWrapping) {
  testing::TempDir dir;
  testing::writeFileBytes(dir.path("map_999999999999999998.dat"), {1});
  const PassFilePlan nearEnd = planPassFiles(dir.path("map.dat"), 5);
  EXPECT_EQ(nearEnd.error, PassPlanError::None);
  EXPECT_EQ(nearEnd.firstNumber, kLastPassNumber);
  EXPECT_EQ(nearEnd.digits, 18);

  // Longer numbers, even ones past what 64 bits hold, count as the last.
  testing::writeFileBytes(dir.path("map_99999999999999999999999.dat"), {1});
  EXPECT_EQ(highestPassFile(dir.path("map.dat")), kLastPassNumber);
  EXPECT_EQ(planPassFiles(dir.path("map.dat"), 5).error, PassPlanError::NumbersUsedUp);
  EXPECT_EQ(lastPassFileName(dir.path("map.dat")), "map_999999999999999999.dat");
}

TEST(PassFiles, AScanWithNoNumberLeftSavesNothingAndSaysSo) {
  testing::SimRig rig;
  testing::TempDir dir;
  const std::string chosen = dir.path("map.dat");
  const std::string last = dir.path("map_999999999999999999.dat");
  testing::writeFileBytes(last, {42});
  setUpScan(rig, chosen);
  Session& s = *rig.session;
  for (int scan = 1; scan <= 2; ++scan) {
    SCOPED_TRACE(scan);
    ZorvStartClick(s);
    EXPECT_EQ(s.Texts.Edit1, "Cannot save passes: no number left after map_999999999999999999.dat");
    runPasses(rig, 2);
    EXPECT_EQ(s.Texts.Edit1, "Cannot save passes: no number left after map_999999999999999999.dat");
    ZorvStopClick(s);
    EXPECT_EQ(testing::readFileBytes(last), std::vector<uint8_t>{42});
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path("")), fs::directory_iterator()), 1);
  }
}

TEST(PassFiles, ASecondScanNeverReplacesTheFilesOfTheFirst) {
  testing::SimRig rig;
  testing::TempDir dir;
  const std::string chosen = dir.path("map.dat");
  setUpScan(rig, chosen);
  Session& s = *rig.session;
  ZorvStartClick(s);
  EXPECT_EQ(s.Texts.Edit1, "Passes saved from map_0001.dat");
  runPasses(rig, 2);
  ZorvStopClick(s);
  const auto first = testing::readFileBytes(passFilePath(chosen, 1));
  const auto second = testing::readFileBytes(passFilePath(chosen, 2));

  ZorvStartClick(s);
  EXPECT_EQ(s.Texts.Edit1, "Passes saved from map_0003.dat");
  runPasses(rig, 1);
  ZorvClearClick(s);  // the pass count restarts, the numbering does not
  runPasses(rig, 1);
  ZorvStopClick(s);
  EXPECT_EQ(testing::readFileBytes(passFilePath(chosen, 1)), first);
  EXPECT_EQ(testing::readFileBytes(passFilePath(chosen, 2)), second);
  EXPECT_TRUE(fs::exists(passFilePath(chosen, 3)));
  EXPECT_TRUE(fs::exists(passFilePath(chosen, 4)));
  EXPECT_FALSE(fs::exists(passFilePath(chosen, 5)));

  // A file that appears during a scan is stepped over, not replaced.
  ZorvStartClick(s);
  testing::writeFileBytes(passFilePath(chosen, 5), {42});
  runPasses(rig, 1);
  EXPECT_EQ(testing::readFileBytes(passFilePath(chosen, 5)), std::vector<uint8_t>{42});
  EXPECT_TRUE(fs::exists(passFilePath(chosen, 6)));
}

TEST(PassFiles, AScanIntoAMissingFolderSaysSoAtTheStart) {
  testing::SimRig rig;
  testing::TempDir dir;
  setUpScan(rig, dir.path("gone/map.dat"));
  ZorvStartClick(*rig.session);
  EXPECT_EQ(rig.session->Texts.Edit1, "Cannot save passes: no folder " + dir.path("gone/"));
}

TEST(PassFiles, APassWhoseTransferFailedIsNotSavedAndIsCounted) {
  for (const bool pollFails : {false, true}) {
    SCOPED_TRACE(pollFails ? "a failed queue poll" : "a lost reply");
    testing::SimRig rig;
    testing::TempDir dir;
    const std::string chosen = dir.path("map.dat");
    setUpScan(rig, chosen);
    Session& s = *rig.session;
    ZorvStartClick(s);
    runPasses(rig, 1);
    const auto pass1 = testing::readFileBytes(passFilePath(chosen, 1));
    // One block of the second pass's read goes missing.
    if (pollFails) {
      rig.bridge.faults().failPollAfterFrame = "$R2;";
      rig.bridge.faults().failPollTimes = 1;
    } else {
      rig.analyser().addFault({SimFaultKind::NoReply, "$R2;", 0, 1});
    }
    runPasses(rig, 1);
    EXPECT_EQ(s.Texts.Edit1, "Pass 2 not saved: transfer failed");
    EXPECT_FALSE(fs::exists(passFilePath(chosen, 2)));
    EXPECT_EQ(s.Passes.LostPasses, 1);
    EXPECT_TRUE(s.Timer1.Enabled);
    runPasses(rig, 1);  // the scan goes on, and the next pass is whole
    ASSERT_TRUE(fs::exists(passFilePath(chosen, 3)));
    EXPECT_NE(testing::readFileBytes(passFilePath(chosen, 3)), pass1);
    EXPECT_GT(s.Acquisition.CountRate, 3.0f);  // a rate of its own, near 5 kcps
    EXPECT_LT(s.Acquisition.CountRate, 7.0f);
    ZorvStopClick(s);
    ZorvStartClick(s);
    EXPECT_EQ(s.Passes.LostPasses, 0);  // counted per scan
  }
}

TEST(PassFiles, APassThatCannotBeWrittenIsCountedAsUnsavedAndTheScanGoesOn) {
  testing::SimRig rig;
  testing::TempDir dir;
  fs::create_directory(dir.path("maps"));
  const std::string chosen = dir.path("maps/map.dat");
  setUpScan(rig, chosen);
  Session& s = *rig.session;
  ZorvStartClick(s);
  runPasses(rig, 1);
  EXPECT_TRUE(fs::exists(passFilePath(chosen, 1)));
  EXPECT_EQ(s.Passes.UnsavedPasses, 0);
  // The folder goes away during the scan (a stick pulled out).
  fs::remove_all(dir.path("maps"));
  runPasses(rig, 1);
  EXPECT_EQ(s.Texts.Edit1, "Cannot save map_0002.dat");
  EXPECT_EQ(s.Passes.UnsavedPasses, 1);
  EXPECT_EQ(s.Passes.LostPasses, 0);
  EXPECT_TRUE(s.Timer1.Enabled);
  fs::create_directory(dir.path("maps"));
  runPasses(rig, 1);  // saved again, and the one that was not stays counted
  EXPECT_TRUE(fs::exists(passFilePath(chosen, 3)));
  EXPECT_EQ(s.Passes.UnsavedPasses, 1);
  ZorvStopClick(s);
  ZorvStartClick(s);
  EXPECT_EQ(s.Passes.UnsavedPasses, 0);  // counted per scan
}

TEST(PassFiles, EachPassFileCarriesItsEndTimeTheDwellAndTheCalibrationInForce) {
  testing::SimRig rig;
  testing::TempDir dir;
  const std::string chosen = dir.path("map.dat");
  setUpScan(rig, chosen);
  Session& s = *rig.session;
  // What a file read earlier left in the working header must not leak in.
  s.Working.Header.setStartTime({1999, 1, 2, 3, 4, 5});
  s.Working.Header.setComment("read earlier");
  s.Calibration.Gain = 0.01f;
  s.Calibration.Offset = 0.02f;
  s.Calibration.Valid = 1;
  // The labels of the MCA setup are the acquisition's own: they go along.
  std::snprintf(s.Mca.Comment.data(), s.Mca.Comment.size(), "%s", "Ti foil");
  std::snprintf(s.Mca.SampleId.data(), s.Mca.SampleId.size(), "%s", "S-17");
  int minute = 10;
  s.LocalTime = [&minute] { return LocalDateTime{2026, 12, 7, 14, minute, 30}; };
  ZorvStartClick(s);
  runPasses(rig, 1);
  minute = 11;
  runPasses(rig, 1);

  for (int pass = 1; pass <= 2; ++pass) {
    std::ifstream in(passFilePath(chosen, pass), std::ios::binary);
    SpectrumFileHeader h;
    std::vector<int32_t> counts(8192);
    ASSERT_EQ(decodeSpectrumFile(in, h, counts.data(), 8192), 512);
    const auto t = h.startTime();
    EXPECT_EQ(t.year, 2026);
    EXPECT_EQ(t.day, 7);
    EXPECT_EQ(t.minute, pass == 1 ? 10 : 11);
    EXPECT_EQ(h.comment(), "Ti foil");
    EXPECT_EQ(h.sampleId(), "S-17");
    EXPECT_EQ(h.presetTime(), 5);
    EXPECT_EQ(h.realTime(), 5);
    EXPECT_LE(h.liveTime(), 5);
    EXPECT_EQ(h.calibrationMarker(), 0.0f);
    EXPECT_EQ(h.gain(), 0.01f);
    EXPECT_EQ(h.offset(), 0.02f);
  }
}

}  // namespace
}  // namespace tolvane
