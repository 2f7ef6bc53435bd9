// The link cleans up after an exchange that left bytes behind: the next
// exchange reads its own reply, not the remains of the last one; and a
// spectrum read skips only the block whose queue poll failed.
#include <gtest/gtest.h>

#include "device/mca_commands.h"
#include "test_support.h"

namespace tolvane {
namespace {

// A status read whose block is exactly the analyser's: a byte left in
// front would shift every field.
void expectCleanStatus(Session& s) {
  s.Acquisition.Status = DeviceStatus{};
  ASSERT_EQ(ReadStatus(s.Transport, s.Acquisition), LinkOutcome::Done);
  EXPECT_EQ(s.Acquisition.Status.viewFirst(), 0);
  EXPECT_EQ(s.Acquisition.Status.viewLast(), 4095);
  EXPECT_EQ(s.Acquisition.Status.viewCursor(), 2048);
}

TEST(LinkRecovery, ExtraBytesLeftAfterTheReadAreDrainedBeforeTheNextExchange) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  rig.analyser().loadCounts(std::vector<uint32_t>(4096, 3));
  // More trailing bytes than one read takes (2 KiB): some are still
  // queued after it.
  SimFault fault{SimFaultKind::ExtraBytes, "$R1;", 0, 1};
  fault.extraBytes = 6000;
  rig.analyser().addFault(fault);
  EXPECT_EQ(ReadSpectrum(s.Transport, s.Acquisition, s.Working), SpectrumRead::Complete);
  EXPECT_EQ(s.Working.Counts[0], 3);
  EXPECT_EQ(s.Working.Counts[128], 3);  // block 2 is its own reply
  EXPECT_EQ(s.Working.Counts[4095], 3);
  rig.analyser().addFault(fault);
  ASSERT_NE(ReadSpectrum(s.Transport, s.Acquisition, s.Working), SpectrumRead::Failed);
  EXPECT_EQ(SendCommand(s.Transport, "$DM;"), LinkOutcome::Done);
  SimFault afterStatus{SimFaultKind::ExtraBytes, "$R0;", 0, 1};
  afterStatus.extraBytes = 5000;
  rig.analyser().addFault(afterStatus);
  expectCleanStatus(s);
  expectCleanStatus(s);
}

TEST(LinkRecovery, AStrayByteBeforeALateAcknowledgementIsAnsweredAsARefusalAndThenDrained) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  SimFault fault{SimFaultKind::StrayThenLateReply, "$DG;", 0, 1};
  fault.delayMicros = 200'000;
  rig.analyser().addFault(fault);
  EXPECT_EQ(SendCommand(s.Transport, "$DG;"), LinkOutcome::Refused);
  rig.clock.advanceMillis(300);  // the real acknowledgement is now waiting
  expectCleanStatus(s);
  EXPECT_EQ(SendCommand(s.Transport, "$DM;"), LinkOutcome::Done);
  EXPECT_EQ(rig.analyser().outputMode(), 'M');
}

TEST(LinkRecovery, AFailedQueuePollSkipsOnlyItsBlock) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  std::fill(s.Working.Counts.begin(), s.Working.Counts.end(), -7);
  rig.analyser().loadCounts(std::vector<uint32_t>(4096, 3));
  rig.bridge.faults().failPollAfterFrame = "$R3;";
  rig.bridge.faults().failPollTimes = 1;
  rig.analyser().clearFrameLog();
  EXPECT_EQ(ReadSpectrum(s.Transport, s.Acquisition, s.Working), SpectrumRead::BlocksMissed);
  EXPECT_EQ(s.Working.Counts[255], 3);
  for (const int c : {256, 300, 383}) EXPECT_EQ(s.Working.Counts[static_cast<size_t>(c)], -7) << c;
  EXPECT_EQ(s.Working.Counts[384], 3);  // block 4 is its own reply, not block 3's
  EXPECT_EQ(s.Working.Counts[4095], 3);
  EXPECT_EQ(rig.frames().size(), 32u);  // every block was asked for once
  expectCleanStatus(s);
  EXPECT_EQ(ReadSpectrum(s.Transport, s.Acquisition, s.Working), SpectrumRead::Complete);
  EXPECT_EQ(s.Working.Counts[300], 3);
}

// What the window relies on to stop or close while a read waits: a cancel
// leaves replies that come in time alone, ends a wait on a silent analyser
// long before the time-out and then sends nothing more, and once resumed
// the next exchange reads its own reply, not a late one.
TEST(LinkRecovery, ACancelEndsOnlyAStalledWaitAndTheLinkResumesClean) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  rig.analyser().clearFrameLog();
  s.Transport.cancelWaiting();
  EXPECT_EQ(SendCommand(s.Transport, "$S;"), LinkOutcome::Done);  // answered in time
  EXPECT_EQ(rig.frames(), std::vector<std::string>{"$S;"});

  rig.analyser().addFault({SimFaultKind::NoReply, "$C;", 0, 1});
  const int64_t before = rig.clock.nowMicros();
  EXPECT_EQ(SendCommand(s.Transport, "$C;"), LinkOutcome::TimedOut);
  const int64_t waited = rig.clock.nowMicros() - before;
  EXPECT_GE(waited, McaTransport::kStalledMicros);
  EXPECT_LT(waited, McaTransport::kReplyTimeoutMicros / 10);
  rig.analyser().clearFrameLog();
  EXPECT_EQ(ReadStatus(s.Transport, s.Acquisition), LinkOutcome::TimedOut);
  EXPECT_TRUE(rig.frames().empty());

  s.Transport.resumeWaiting();
  rig.analyser().addFault({SimFaultKind::SlowReply, "$C;", 0, 1, 5'000'000});  // answers after the time-out
  EXPECT_EQ(SendCommand(s.Transport, "$C;"), LinkOutcome::TimedOut);
  rig.clock.advanceMillis(6000);  // the late acknowledgement arrives
  expectCleanStatus(s);
}

}  // namespace
}  // namespace tolvane
