// Mapping scans against the simulated analyser, and the preview picture.
#include "handlers/scan_setup_handlers.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "handlers/save_raw_data.h"
#include "device/mca_commands.h"
#include "display/plot_model.h"
#include "handlers/file_handlers.h"
#include "files/spectrum_file.h"
#include "handlers/mapping_handlers.h"
#include "handlers/mca_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

std::function<bool(ScanSetupFields&)> scanDialog(bool ok, std::function<void(ScanSetupFields&)> edit) {
  return [ok, edit](ScanSetupFields& f) {
    edit(f);
    return ok;
  };
}

TEST(MappingScan, SetUpSendsDwellAndSizeAndSetsTheTickInterval) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  rig.analyser().clearFrameLog();
  Button7Click(s, scanDialog(true, [](ScanSetupFields& f) {
                 f.MemorySize = 2048;
                 f.ZORVPreSetTime = "25";
                 f.DispRefTimer = "200";
               }));
  EXPECT_EQ(rig.frames(), (std::vector<std::string>{"$P25;", "$M16;"}));
  EXPECT_EQ(s.Acquisition.ChannelCount, 2048);
  EXPECT_EQ(s.Timer1.IntervalMs, 200);
  EXPECT_EQ(s.Texts.Edit1, "$P25;");
}

TEST(MappingScan, BadOrZeroIntervalsKeepTheOldValuesAndCancelStoresNothing) {
  testing::SimRig rig;
  Session& s = *rig.session;
  Button7Click(s, scanDialog(true, [](ScanSetupFields& f) {
                 f.ZORVPreSetTime = "x";
                 f.DispRefTimer = "0";
               }));
  EXPECT_EQ(s.Scan.PresetTime, 10);
  EXPECT_EQ(s.Scan.RefreshInterval, 100);
  EXPECT_EQ(s.Texts.Edit1, "Error ! ReFlesh Timer");  // not hidden by the frame text
  EXPECT_FALSE(StoreScanSetupFields(s, {1024, "5", "-3", "File Name", ""}));
  EXPECT_EQ(s.Texts.Edit1, "Error ! ReFlesh Timer");
  Button7Click(s, scanDialog(false, [](ScanSetupFields& f) { f.ZORVPreSetTime = "99"; }));
  EXPECT_EQ(s.Scan.PresetTime, 5);
}

TEST(MappingScan, ARefusedDwellStaysVisibleWhileTheOldOneIsSent) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  rig.analyser().clearFrameLog();
  Button7Click(s, scanDialog(true, [](ScanSetupFields& f) { f.ZORVPreSetTime = "2.5"; }));
  EXPECT_EQ(s.Texts.Edit1, "Error ! Dwell Time");
  EXPECT_EQ(rig.frames().front(), "$P10;");
  Button7Click(s, scanDialog(true, [](ScanSetupFields& f) { f.ZORVPreSetTime = "25"; }));
  EXPECT_EQ(s.Texts.Edit1, "$P25;");  // a good value shows the frame sent
}

TEST(MappingScan, SaveSpectrumDataCanBeSwitchedOffAndACancelledChoiceLeavesItOff) {
  ScanSetupFields f;
  std::string answer = "/data/map.dat";
  const auto dialog = [&answer] { return answer; };
  EXPECT_TRUE(SaveRawDataClick(f, dialog));  // checking: a file is chosen
  EXPECT_EQ(f.SavePath, "/data/map.dat");
  EXPECT_EQ(f.Edit3, "/data/map.dat");
  answer.clear();
  EXPECT_FALSE(SaveRawDataClick(f, dialog));  // clearing: the dialog is cancelled
  EXPECT_EQ(f.SavePath, "");
  EXPECT_EQ(f.Edit3, "File Name");
  EXPECT_FALSE(SaveRawDataClick(f, dialog));  // checking, cancelled: stays off
  answer = "/data/b.dat";
  SaveRawDataClick(f, dialog);
  EXPECT_TRUE(SaveRawDataClick(f, dialog));  // clearing but choosing a file takes it
  EXPECT_EQ(f.SavePath, "/data/b.dat");
}

TEST(MappingScan, TheScanDwellsForItsOwnPresetAfterAnMcaSetUp) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  ASSERT_EQ(SetPresetTime(s.Transport, s.Acquisition, 300), LinkOutcome::Done);  // as MCA SetUp with 30 s leaves it
  s.Scan.MemorySize = 1024;
  rig.analyser().clearFrameLog();
  ZorvStartClick(s);
  // The first scan after opening empties the pass memory: it is unknown.
  EXPECT_EQ(rig.frames(), (std::vector<std::string>{"$P10;", "$CX;", "$X;"}));
  for (int i = 0; i < 12; ++i) rig.tick();
  EXPECT_EQ(s.Acquisition.ScanCount, 1);  // 1.0 s passes, as the plot says
  EXPECT_GT(s.Acquisition.CountRate, 4.0f);
  EXPECT_LT(s.Acquisition.CountRate, 6.0f);
  rig.analyser().clearFrameLog();
  ZorvStopClick(s);
  ZorvStartClick(s);  // the analyser has the dwell already; its pass memory is emptied first
  EXPECT_EQ(rig.frames(), (std::vector<std::string>{"$S;", "$CX;", "$X;"}));

  // An MCA run after the scan gets its own preset back.
  ZorvStopClick(s);
  s.Mca.PresetTime = 300;
  rig.analyser().clearFrameLog();
  McaStartClick(s);
  EXPECT_EQ(rig.frames(), (std::vector<std::string>{"$P300;", "$G;"}));
}

// A preset the analyser refuses starts nothing: a scan's passes would last
// the MCA preset while their files claim the dwell, and an MCA run would
// stop at the scan's dwell.
TEST(MappingScan, AStartWhosePresetTheAnalyserRefusesStartsNoRun) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  ASSERT_EQ(SetPresetTime(s.Transport, s.Acquisition, 300), LinkOutcome::Done);
  s.Scan.MemorySize = 1024;
  rig.analyser().addFault({SimFaultKind::Refuse, "$P10;", 0, 1});
  rig.analyser().clearFrameLog();
  ZorvStartClick(s);
  EXPECT_EQ(rig.frames(), std::vector<std::string>{"$P10;"});
  EXPECT_FALSE(s.Timer1.Enabled);
  EXPECT_EQ(s.Acquisition.Running, 0);

  ZorvStartClick(s);  // taken this time: the scan starts
  EXPECT_TRUE(s.Timer1.Enabled);
  ZorvStopClick(s);
  s.Mca.PresetTime = 300;
  rig.analyser().addFault({SimFaultKind::Refuse, "$P300;", 0, 1});
  rig.analyser().clearFrameLog();
  McaStartClick(s);
  EXPECT_EQ(rig.frames(), std::vector<std::string>{"$P300;"});
  EXPECT_FALSE(s.Timer1.Enabled);
  EXPECT_EQ(s.Acquisition.AnalyserPresetTime, 10);
}

TEST(MappingScan, AbortShowsTheSpectrumAgainAndAStartDuringAnMcaRunStartsTheScan) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  ZorvStartClick(s);
  for (int i = 0; i < 12; ++i) rig.tick();
  s.Working.setName("after");
  ZorvStopClick(s);
  const auto shows = [&s](const std::string& text) {
    for (const PlotText& t : s.Plot.Readouts)
      if (t.text == text) return true;
    return false;
  };
  EXPECT_TRUE(shows("after"));
  EXPECT_FALSE(shows("  * ACQ *"));

  // Start of a scan ends the MCA run: the scan's dwell, the pass memory
  // emptied of the run's counts, then "$X;".
  McaStartClick(s);
  rig.tick();
  rig.analyser().clearFrameLog();
  s.Texts.Edit1 = "before";
  ZorvStartClick(s);
  EXPECT_EQ(rig.frames(), (std::vector<std::string>{"$P10;", "$CX;", "$X;"}));
  EXPECT_EQ(s.Texts.Edit1, "before");
  EXPECT_EQ(s.Acquisition.Mode, 0);
  EXPECT_EQ(s.Acquisition.Running, 1);
  EXPECT_TRUE(rig.analyser().scanning());
  EXPECT_TRUE(s.Timer1.Enabled);
  EXPECT_EQ(s.Timer1.IntervalMs, s.Scan.RefreshInterval);
  for (int i = 0; i < 11; ++i) rig.tick();
  EXPECT_EQ(s.Acquisition.ScanCount, 1);

  // A clear the analyser refuses starts nothing, and says why.
  ZorvStopClick(s);
  rig.analyser().addFault({SimFaultKind::Refuse, "$CX;", 0, 1});
  rig.analyser().clearFrameLog();
  ZorvStartClick(s);
  EXPECT_EQ(rig.frames(), std::vector<std::string>{"$CX;"});
  EXPECT_EQ(s.Texts.Edit1, kPassMemoryNotClearedText);
  EXPECT_EQ(s.Acquisition.Running, 0);
  EXPECT_FALSE(rig.analyser().running());
}

// An aborted pass, or the counts of an MCA run, must not be added to the
// first pass of the next scan, whose file claims one dwell.
TEST(MappingScan, TheFirstPassAfterAnAbortHoldsOnlyItsOwnDwell) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  Button7Click(s, scanDialog(true, [](ScanSetupFields& f) {
                 f.MemorySize = 1024;
                 f.ZORVPreSetTime = "10";
               }));
  const auto passTotal = [&s] {
    int64_t total = 0;
    for (int c = 0; c < 1024; ++c) total += s.Working.Counts[static_cast<size_t>(c)];
    return total;
  };
  const auto countPasses = [&](int passes) {
    std::vector<int64_t> totals;
    const int32_t before = s.Acquisition.ScanCount;
    while (s.Acquisition.ScanCount < before + passes) {
      rig.tick();
      if (s.Acquisition.ScanCount != before + static_cast<int32_t>(totals.size())) totals.push_back(passTotal());
    }
    return totals;
  };
  ZorvStartClick(s);
  const std::vector<int64_t> first = countPasses(3);
  for (int i = 0; i < 9; ++i) rig.tick();  // 0.9 s into the fourth pass
  ZorvStopClick(s);
  ZorvStartClick(s);
  const std::vector<int64_t> second = countPasses(2);
  // 1 s at about 4,990 recorded counts per second: each pass within 10 %.
  for (const int64_t total : first) EXPECT_NEAR(total, 4990, 500);
  for (const int64_t total : second) EXPECT_NEAR(total, 4990, 500);
}

// Leaving without saving sends no stop: the next session finds the
// analyser still counting, and its first scan must not add those counts
// to its first pass.
TEST(MappingScan, TheFirstScanAfterOpeningHoldsNothingAnEarlierSessionCounted) {
  testing::SimRig rig;
  const std::string run = "$G;";
  rig.analyser().receive(reinterpret_cast<const uint8_t*>(run.data()), run.size());
  rig.analyser().purgeOutput();
  rig.clock.advanceMillis(3000);  // 3 s of counts left behind
  rig.open();
  ASSERT_TRUE(rig.analyser().running());
  Session& s = *rig.session;
  Button7Click(s, scanDialog(true, [](ScanSetupFields& f) {
                 f.MemorySize = 1024;
                 f.ZORVPreSetTime = "10";
               }));
  rig.analyser().clearFrameLog();
  ZorvStartClick(s);
  EXPECT_EQ(rig.frames(), (std::vector<std::string>{"$CX;", "$X;"}));
  for (int i = 0; i < 30 && s.Acquisition.ScanCount < 1; ++i) rig.tick();
  ASSERT_EQ(s.Acquisition.ScanCount, 1) << s.Texts.Edit1;
  int64_t total = 0;
  for (int c = 0; c < 1024; ++c) total += s.Working.Counts[static_cast<size_t>(c)];
  EXPECT_NEAR(total, 4990, 500);  // one 1 s dwell, not four seconds' counts
}

// A stop that gets no answer may never have reached the analyser: Abort
// and Stop still send "$S;", and the status field says the analyser may
// still be running until one is acknowledged.
TEST(MappingScan, AfterAnUnansweredStopAbortAndStopStillSendIt) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  ZorvStartClick(s);
  rig.tick();
  rig.analyser().addFault({SimFaultKind::NoReply, "$S;", 0, 1});
  ZorvStopClick(s);
  EXPECT_EQ(s.Acquisition.Running, 0);
  EXPECT_FALSE(s.Timer1.Enabled);
  EXPECT_TRUE(rig.analyser().scanning());
  EXPECT_EQ(s.Texts.Edit1, kStopLinkFailedText);
  rig.analyser().clearFrameLog();
  ZorvStopClick(s);
  EXPECT_EQ(rig.frames(), std::vector<std::string>{"$S;"});
  EXPECT_FALSE(rig.analyser().running());
  EXPECT_EQ(s.Texts.Edit1, kStopConfirmedText);
  rig.analyser().clearFrameLog();
  ZorvStopClick(s);  // confirmed: nothing runs, nothing is sent
  EXPECT_TRUE(rig.frames().empty());

  // The MCA page: the acknowledged stop also takes the counts made since.
  McaStartClick(s);
  rig.tick();
  rig.analyser().addFault({SimFaultKind::NoReply, "$S;", 0, 1});
  McaStopClick(s);
  EXPECT_TRUE(rig.analyser().running());
  EXPECT_EQ(s.Texts.Edit1, kStopLinkFailedText);
  rig.clock.advanceMillis(500);
  rig.analyser().clearFrameLog();
  McaStopClick(s);
  const std::vector<std::string> frames = rig.frames();
  ASSERT_GE(frames.size(), 3u);
  EXPECT_EQ(frames.front(), "$S;");
  EXPECT_EQ(frames[1], "$R1;");
  EXPECT_EQ(frames.back(), "$R0;");
  EXPECT_EQ(s.Acquisition.RealTime, rig.analyser().realTimeTicks() / 10);
  EXPECT_EQ(s.Texts.Edit1, kStopConfirmedText);
}

// Each pass file says when the pass began, with the setup's labels.
TEST(MappingScan, APassHeaderStampsThePassStartAndKeepsTheLabels) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  s.LocalTime = [] { return LocalDateTime{2026, 3, 1, 0, 0, 1}; };
  const std::string comment = "grid 7", sample = "S-12";
  std::copy(comment.begin(), comment.end(), s.Mca.Comment.begin());
  std::copy(sample.begin(), sample.end(), s.Mca.SampleId.begin());
  Button7Click(s, scanDialog(true, [](ScanSetupFields& f) {
                 f.MemorySize = 512;
                 f.ZORVPreSetTime = "25";
                 f.DispRefTimer = "400";
               }));
  ZorvStartClick(s);
  // Fetched 0.3 s into the next pass: the pass began 2.5 + 0.3 s before.
  for (int i = 0; i < 7; ++i) {
    rig.clock.advanceMillis(400);
    Timer1Timer(s);
  }
  ASSERT_EQ(s.Acquisition.ScanCount, 1);
  ASSERT_EQ(s.Acquisition.Status.realTimeTicks(), 30);
  const SpectrumFileHeader::StartTime start = s.Working.Header.startTime();
  EXPECT_EQ(std::vector<int>({start.year, start.month, start.day, start.hour, start.minute, start.second}),
            std::vector<int>({2026, 2, 28, 23, 59, 58}));
  EXPECT_EQ(s.Working.Header.comment(), comment);
  EXPECT_EQ(s.Working.Header.sampleId(), sample);
}

TEST(MappingScan, PassesCountOnceEachClearShowsZeroAndAbortStops) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  Button7Click(s, scanDialog(true, [](ScanSetupFields& f) {
                 f.MemorySize = 1024;
                 f.ZORVPreSetTime = "5";
               }));
  rig.analyser().clearFrameLog();
  ZorvStartClick(s);
  EXPECT_EQ(rig.frames(), (std::vector<std::string>{"$CX;", "$X;"}));
  EXPECT_EQ(s.Acquisition.Mode, 0);
  for (int i = 0; i < 23; ++i) rig.tick();  // 2.3 s: four passes of 0.5 s
  EXPECT_EQ(s.Acquisition.ScanCount, 4);
  EXPECT_EQ(s.Texts.Edit4, "4");
  EXPECT_EQ(s.Texts.Label7, " ");
  ZorvClearClick(s);
  EXPECT_EQ(s.Texts.Edit4, "0");
  ZorvStopClick(s);
  EXPECT_EQ(s.Acquisition.Running, 0);
  rig.analyser().clearFrameLog();
  ZorvStopClick(s);  // nothing runs: nothing is sent
  EXPECT_TRUE(rig.frames().empty());
}

TEST(MappingScan, SavedPassesAreOneReadableFilePerCountedPass) {
  testing::SimRig rig;
  testing::TempDir dir;
  rig.open();
  Session& s = *rig.session;
  const std::string chosen = dir.path("map.dat");
  Button7Click(s, scanDialog(true, [&](ScanSetupFields& f) {
                 f.MemorySize = 512;
                 f.ZORVPreSetTime = "5";
                 f.SavePath = chosen;
               }));
  ZorvStartClick(s);
  for (int i = 0; i < 16; ++i) rig.tick();
  ASSERT_EQ(s.Acquisition.ScanCount, 3);
  EXPECT_EQ(passFilePath(chosen, 2), dir.path("map_0002.dat"));
  for (int pass = 1; pass <= 3; ++pass) {
    testing::SimRig reader(0);
    reader.session->Texts.Edit1.clear();
    ASSERT_TRUE(ReadSpectrumFile(*reader.session, passFilePath(chosen, pass)));
    EXPECT_EQ(reader.session->Texts.Edit1, "");
    EXPECT_EQ(reader.session->Acquisition.ChannelCount, 512);
    EXPECT_EQ(reader.session->Acquisition.RealTime, 5);
  }
  EXPECT_FALSE(std::filesystem::exists(passFilePath(chosen, 4)));

  // A pass that cannot be saved is reported and the scan goes on.
  s.Scan.SavePath = dir.path("missing/map.dat");
  for (int i = 0; i < 6; ++i) rig.tick();
  EXPECT_EQ(s.Texts.Edit1, "Cannot save map_0004.dat");
  EXPECT_TRUE(s.Timer1.Enabled);
  EXPECT_EQ(s.Acquisition.ScanCount, 4);
}

// After a scan the working spectrum is the last pass: a file written from
// it carries the pass's dwell as its times and the setup's labels, not the
// times and name of the file read before the scan; an MCA run afterwards
// shows and writes its own preset again.
TEST(MappingScan, TheLastPassIsWrittenWithItsOwnTimesNotThoseOfTheFileBefore) {
  testing::SimRig rig;
  testing::TempDir dir;
  rig.open();
  Session& s = *rig.session;
  testing::fillSpectrum(s, 1024, [](int c) { return c; });
  s.Acquisition.PresetTime = s.Acquisition.RealTime = 6000;
  s.Acquisition.LiveTime = 5900;
  s.Working.Header.setComment("quartz");
  ASSERT_TRUE(WriteSpectrumFile(s, dir.path("quartz.dat")));
  ASSERT_TRUE(ReadSpectrumFile(s, dir.path("quartz.dat")));
  s.Mca.Comment.fill('\0');
  const std::string grid = "grid";
  std::copy(grid.begin(), grid.end(), s.Mca.Comment.begin());

  Button7Click(s, scanDialog(true, [](ScanSetupFields& f) {
                 f.MemorySize = 1024;
                 f.ZORVPreSetTime = "5";
               }));
  s.Display.Cursor = 100;  // the plot's cursor before the scan
  ZorvStartClick(s);
  for (int i = 0; i < 12; ++i) rig.tick();
  ZorvStopClick(s);
  ASSERT_EQ(s.Acquisition.ScanCount, 2);
  EXPECT_EQ(s.Working.Name, "ZORV");
  // The plot's cursor is the analyser's, which the label showed.
  EXPECT_EQ(s.Display.Cursor, 512);
  EXPECT_EQ(s.Texts.Label3, "512");
  ASSERT_TRUE(WriteSpectrumFile(s, dir.path("pass.dat")));

  testing::SimRig reader(0);
  ASSERT_TRUE(ReadSpectrumFile(*reader.session, dir.path("pass.dat")));
  const Session& r = *reader.session;
  EXPECT_EQ(r.Acquisition.PresetTime, 5);
  EXPECT_EQ(r.Acquisition.RealTime, 5);
  EXPECT_LE(r.Acquisition.LiveTime, 5);
  EXPECT_EQ(r.Working.Header.comment(), "grid");
  int64_t total = 0;
  for (int c = 0; c < 1024; ++c) total += r.Working.Counts[static_cast<size_t>(c)];
  EXPECT_GT(total, 0);

  // Clear after the scan: the times of the pass go with its counts.
  ZorvClearClick(s);
  EXPECT_EQ(s.Acquisition.RealTime, 0);
  EXPECT_EQ(s.Acquisition.LiveTime, 0);

  s.Mca.PresetTime = 30;
  McaStartClick(s);
  EXPECT_EQ(s.Acquisition.PresetTime, 30);
}

TEST(MappingPreview, GeometryOfThePreviewPointsAndTheCursor) {
  testing::SimRig rig(0);
  Session& s = *rig.session;
  DeviceStatus& status = s.Acquisition.Status;
  for (int i = 0; i < 256; ++i) status.setPreview(i, static_cast<uint8_t>(i));
  status.setViewFirst(0);
  status.setViewLast(1023);
  status.setViewCursor(20);
  testing::setView(s, 0, 1023);
  s.Rois.Entries[0].Shown = 1;
  s.Rois.Entries[0].LowChannel = 100;
  s.Rois.Entries[0].HighChannel = 120;
  buildMappingPreview(s, s.Plot);
  const MappingPreview& p = s.Plot.Preview;
  EXPECT_EQ(p.rows[0], 311);  // byte 0 at the bottom row
  EXPECT_EQ(p.rows[1], 311);
  EXPECT_EQ(p.rows[510], 2);  // byte 255 at row 2
  EXPECT_EQ(p.rows[511], 2);
  EXPECT_EQ(p.rows[20], p.rows[21]);  // point 10 covers columns 20 and 21
  ASSERT_EQ(p.marks.size(), 1u);
  EXPECT_EQ(p.marks[0].xs, 50);
  EXPECT_EQ(p.marks[0].xe, 60);
  EXPECT_TRUE(p.cursor.shown);
  EXPECT_EQ(p.cursor.x, 10);
  EXPECT_EQ(p.cursor.toRow - p.cursor.fromRow, 25);

  status.setViewFirst(100);
  status.setViewLast(227);
  testing::setView(s, 100, 227);  // span 128: four columns per point
  status.setPreview(127, 200);
  status.setPreview(128, 0);
  buildMappingPreview(s, s.Plot);
  EXPECT_EQ(p.rows[508], 312 - 200 * 312 / 256);
  EXPECT_EQ(p.rows[511], p.rows[508]);  // points 128.. fall outside
  EXPECT_TRUE(p.marks.empty());         // step 0: no ROI marks
  EXPECT_EQ(p.texts.back().text, "");   // the comment, in red
  EXPECT_EQ(p.texts[p.texts.size() - 2].text, "* ACQ *");
}

}  // namespace
}  // namespace tolvane
