// Frames on the wire and their effects, against the simulated analyser.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "device/mca_commands.h"
#include "handlers/mapping_handlers.h"
#include "handlers/mca_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

using ::testing::ElementsAreArray;

std::vector<std::string> blockFrames(int blocks) {
  std::vector<std::string> frames;
  for (int k = 1; k <= blocks; ++k) frames.push_back("$R" + std::to_string(k) + ";");
  return frames;
}

TEST(McaProtocol, SpectrumReadSendsOneDecimalBlockFramePerBlock) {
  testing::SimRig rig;
  rig.open();
  rig.analyser().clearFrameLog();
  ASSERT_NE(ReadSpectrum((*rig.session).Transport, (*rig.session).Acquisition, (*rig.session).Working),
            SpectrumRead::Failed);
  EXPECT_EQ(rig.frames(), blockFrames(32));

  // At 2048 channels: sixteen frames and no more.
  rig.session->Acquisition.ChannelCount = 2048;
  ASSERT_EQ(SetMemorySize((*rig.session).Transport, 2048), LinkOutcome::Done);
  rig.analyser().clearFrameLog();
  ASSERT_NE(ReadSpectrum((*rig.session).Transport, (*rig.session).Acquisition, (*rig.session).Working),
            SpectrumRead::Failed);
  EXPECT_EQ(rig.frames(), blockFrames(16));
}

TEST(McaProtocol, ArgumentFramesAreExactBytes) {
  EXPECT_EQ(presetFrame(10000), "$P10000;");
  EXPECT_EQ(presetFrame(10), "$P10;");
  EXPECT_EQ(cursorFrame(7), "$@C0007;");
  EXPECT_EQ(cursorFrame(7).size(), 8u);
  EXPECT_EQ(roiWindowFrame(2, 50, 1234), "$@R2,0050,1234;");
  EXPECT_EQ(roiWindowFrame(2, 50, 1234).size(), 15u);
  EXPECT_EQ(memorySizeFrame(512), "$M4;");
  EXPECT_EQ(memorySizeFrame(1024), "$M8;");
  EXPECT_EQ(memorySizeFrame(2048), "$M16;");
  EXPECT_EQ(memorySizeFrame(4096), "$M32;");
  EXPECT_EQ(memorySizeFrame(256), "");  // no frame exists for 256 channels
}

TEST(McaProtocol, CommandsReachTheAnalyserAndChangeItsState) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  rig.analyser().clearFrameLog();

  EXPECT_EQ(SetPresetTime(s.Transport, s.Acquisition, 10), LinkOutcome::Done);
  EXPECT_EQ(s.Acquisition.AnalyserPresetTime, 10);
  EXPECT_EQ(rig.analyser().presetTenths(), 10);
  EXPECT_EQ(SetCursor(s.Transport, 7), LinkOutcome::Done);
  EXPECT_EQ(rig.analyser().view().Cursor, 7);
  EXPECT_EQ(SetRoiWindow(s.Transport, 2, 50, 1234), LinkOutcome::Done);
  EXPECT_EQ(rig.analyser().roiWindow(2).First, 50);
  EXPECT_EQ(rig.analyser().roiWindow(2).Last, 1234);
  EXPECT_EQ(SetOutputMode(s.Transport, 'S'), LinkOutcome::Done);
  EXPECT_EQ(rig.analyser().outputMode(), 'S');
  EXPECT_EQ(SetMemorySize(s.Transport, 1024), LinkOutcome::Done);
  EXPECT_EQ(rig.analyser().channels(), 1024);
  EXPECT_THAT(rig.frames(), ElementsAreArray({"$P10;", "$@C0007;", "$@R2,0050,1234;", "$DS;", "$M8;"}));

  // Out-of-range arguments have no frame and send nothing.
  rig.analyser().clearFrameLog();
  EXPECT_NE(SetRoiWindow(s.Transport, 5, 1, 2), LinkOutcome::Done);
  EXPECT_NE(SetCursor(s.Transport, 10000), LinkOutcome::Done);
  EXPECT_NE(SetMemorySize(s.Transport, 256), LinkOutcome::Done);
  EXPECT_TRUE(rig.frames().empty());
}

TEST(McaProtocol, RefusedCommandsLeaveTheSharedStateUnchanged) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  rig.analyser().addFault({SimFaultKind::Refuse, "$C;"});
  EXPECT_NE(ClearSpectrum(s.Transport, s.Acquisition, s.Working), LinkOutcome::Done);
  EXPECT_EQ(s.Working.Counts[100], 100);  // the ramp is still there

  rig.analyser().addFault({SimFaultKind::Refuse, "$G;"});
  s.Acquisition.Running = 1;
  EXPECT_NE(StartAcquisition(s.Transport, s.Acquisition), LinkOutcome::Done);
  EXPECT_EQ(s.Acquisition.Running, 0);
  EXPECT_EQ(s.Acquisition.Mode, 1);
  EXPECT_FALSE(s.Timer1.Enabled);

  rig.analyser().addFault({SimFaultKind::Refuse, "$X;"});
  s.Timer1.IntervalMs = 100;
  s.Scan.RefreshInterval = 250;
  EXPECT_NE(StartScan(s.Transport, s.Acquisition), LinkOutcome::Done);
  EXPECT_EQ(s.Acquisition.Mode, 0);  // set before the reply
  EXPECT_EQ(s.Timer1.IntervalMs, 100);
  EXPECT_FALSE(s.Timer1.Enabled);
}

TEST(McaProtocol, AcceptedStartsAndStopsDriveTheTimer) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  s.Scan.RefreshInterval = 250;
  s.Acquisition.ScanCount = 9;
  ZorvStartClick(s);  // "$X;" accepted
  EXPECT_TRUE(s.Timer1.Enabled);
  EXPECT_EQ(s.Timer1.IntervalMs, 250);
  EXPECT_EQ(s.Acquisition.ScanCount, 0);
  EXPECT_EQ(s.Acquisition.Running, 1);
  McaStopClick(s);  // "$S;" accepted
  EXPECT_FALSE(s.Timer1.Enabled);
  EXPECT_EQ(s.Acquisition.Running, 0);
  McaStartClick(s);  // "$G;" accepted
  EXPECT_EQ(s.Acquisition.Mode, 1);
  EXPECT_TRUE(s.Timer1.Enabled);
}

TEST(McaProtocol, AllOnesChannelsAreMinusOneWithMaxZeroAndAWrappingTotal) {
  testing::SimRig rig;
  rig.open();
  rig.analyser().loadCounts(std::vector<uint32_t>(4096, 0xFFFFFFFFu));
  Session& s = *rig.session;
  ASSERT_NE(ReadSpectrum(s.Transport, s.Acquisition, s.Working), SpectrumRead::Failed);
  EXPECT_EQ(s.Working.Counts[0], -1);
  EXPECT_EQ(s.Working.Counts[4095], -1);
  EXPECT_EQ(s.Acquisition.MaxCount, 0);
  // 4096 * 0xFFFFFFFF modulo 2^32 is 2^32 - 4096.
  EXPECT_EQ(s.Acquisition.CountRate, static_cast<float>(4294963200u));
}

TEST(McaProtocol, ClearScanClearsBothBanksOfTheWorkingSpectrum) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  s.Acquisition.ChannelCount = 1024;
  std::fill(s.Working.Counts.begin(), s.Working.Counts.end(), 5);
  s.Acquisition.ScanCount = 3;
  ASSERT_EQ(ClearScan(s.Transport, s.Acquisition, s.Working), LinkOutcome::Done);
  EXPECT_EQ(s.Acquisition.ScanCount, 0);
  EXPECT_EQ(s.Working.Counts[0], 0);
  EXPECT_EQ(s.Working.Counts[1023], 0);
  EXPECT_EQ(s.Working.Counts[1024], 5);
  EXPECT_EQ(s.Working.Counts[4096], 0);
  EXPECT_EQ(s.Working.Counts[4096 + 1023], 0);
  EXPECT_EQ(s.Working.Counts[4096 + 1024], 5);
}

TEST(McaProtocol, StatusBlockFieldsComeThroughLittleEndian) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  rig.analyser().loadCounters(123456, 0x01020304);
  ASSERT_EQ(SetCursor(s.Transport, 1500), LinkOutcome::Done);
  ASSERT_EQ(ReadStatus(s.Transport, s.Acquisition), LinkOutcome::Done);
  const DeviceStatus& status = s.Acquisition.Status;
  EXPECT_EQ(status.viewFirst(), 0);
  EXPECT_EQ(status.viewLast(), 4095);
  EXPECT_EQ(status.viewCursor(), 1500);
  EXPECT_EQ(status.fullScaleCode(), 0);
  EXPECT_EQ(status.realTimeTicks(), 123456);
  EXPECT_EQ(status.eventCount(), 0x01020304);
  EXPECT_EQ(status.scanDone(), 0);
}

}  // namespace
}  // namespace tolvane
