// What the link does when the analyser misbehaves: every wait ends within
// the link time-out, no reply lands past its buffer, and the next good
// exchange works.
#include <gtest/gtest.h>

#include "device/mca_commands.h"
#include "handlers/mca_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

constexpr int64_t kTimeout = McaTransport::kReplyTimeoutMicros;

struct Stopwatch {
  explicit Stopwatch(const Clock& c) : clock(c), start(c.nowMicros()) {}
  int64_t elapsed() const { return clock.nowMicros() - start; }
  const Clock& clock;
  int64_t start;
};

TEST(LinkFaults, NoReplyEndsAfterTheLinkTimeOutAsATimeOut) {
  testing::SimRig rig;
  rig.open();
  rig.analyser().addFault({SimFaultKind::NoReply, "$C;", 0, 1});
  Stopwatch watch(rig.clock);
  EXPECT_EQ(SendCommand((*rig.session).Transport, "$C;"), LinkOutcome::TimedOut);
  EXPECT_GE(watch.elapsed(), kTimeout);
  EXPECT_LT(watch.elapsed(), kTimeout + 10'000);
  EXPECT_EQ(SendCommand((*rig.session).Transport, "$C;"), LinkOutcome::Done);
}

TEST(LinkFaults, ExtraBytesAreDiscardedSoTheNextExchangeStartsClean) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  rig.analyser().addFault({SimFaultKind::ExtraBytes, "", 0, 3});
  EXPECT_EQ(SendCommand(s.Transport, "$DM;"), LinkOutcome::Done);
  EXPECT_EQ(ReadStatus(s.Transport, s.Acquisition), LinkOutcome::Done);
  EXPECT_EQ(s.Acquisition.Status.viewLast(), 4095);
  rig.analyser().loadCounts(std::vector<uint32_t>(4096, 3));
  EXPECT_NE(ReadSpectrum(s.Transport, s.Acquisition, s.Working),
            SpectrumRead::Failed);  // block 1 with extra bytes, the rest clean
  EXPECT_EQ(s.Working.Counts[127], 3);
  EXPECT_EQ(s.Working.Counts[128], 3);
  EXPECT_EQ(s.Working.Counts[4095], 3);
  EXPECT_EQ(SendCommand(s.Transport, "$DM;"), LinkOutcome::Done);
}

TEST(LinkFaults, GarbageAndRefusalAreRefusalsAndStartLeavesTheRunStopped) {
  for (SimFaultKind kind : {SimFaultKind::Garbage, SimFaultKind::Refuse}) {
    testing::SimRig rig;
    rig.open();
    rig.analyser().addFault({kind, "$G;", 0, 1});
    McaStartClick(*rig.session);
    EXPECT_EQ(rig.session->Acquisition.Running, 0) << simFaultName(kind);
    EXPECT_FALSE(rig.session->Timer1.Enabled);
    EXPECT_FALSE(rig.analyser().running());
  }
}

TEST(LinkFaults, AShortStatusTimesOutAndKeepsThePreviousBlock) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  ASSERT_EQ(SetCursor(s.Transport, 77), LinkOutcome::Done);
  ASSERT_EQ(ReadStatus(s.Transport, s.Acquisition), LinkOutcome::Done);
  rig.analyser().addFault({SimFaultKind::ShortReply, "$R0;", 0, 1});
  ASSERT_EQ(SetCursor(s.Transport, 88), LinkOutcome::Done);
  Stopwatch watch(rig.clock);
  EXPECT_NE(ReadStatus(s.Transport, s.Acquisition), LinkOutcome::Done);
  EXPECT_LE(watch.elapsed(), kTimeout + 10'000);
  EXPECT_EQ(s.Acquisition.Status.viewCursor(), 77);
  EXPECT_EQ(ReadStatus(s.Transport, s.Acquisition), LinkOutcome::Done);  // the half block was discarded
  EXPECT_EQ(s.Acquisition.Status.viewCursor(), 88);
}

TEST(LinkFaults, ASlowReplyWithinTheTimeOutArrivesAndOneBeyondItFails) {
  testing::SimRig rig;
  rig.open();
  rig.analyser().addFault({SimFaultKind::SlowReply, "$DG;", 0, 1, 2'000'000});
  EXPECT_EQ(SendCommand((*rig.session).Transport, "$DG;"), LinkOutcome::Done);
  rig.analyser().addFault({SimFaultKind::SlowReply, "$DS;", 0, 1, 4'000'000});
  EXPECT_EQ(SendCommand((*rig.session).Transport, "$DS;"), LinkOutcome::TimedOut);
  // The late acknowledgement is stale by the next exchange and discarded.
  rig.clock.advanceMillis(2000);
  rig.analyser().addFault({SimFaultKind::Refuse, "$DM;", 0, 1});
  EXPECT_EQ(SendCommand((*rig.session).Transport, "$DM;"), LinkOutcome::Refused);
}

TEST(LinkFaults, ASilentSpectrumCostsOneTimeOutAndKeepsTheBlocksReceived) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  rig.analyser().loadCounts(std::vector<uint32_t>(4096, 9));
  rig.analyser().addFault({SimFaultKind::NoReply, "$R", 4});
  Stopwatch watch(rig.clock);
  EXPECT_EQ(ReadSpectrum(s.Transport, s.Acquisition, s.Working), SpectrumRead::Failed);
  EXPECT_LT(watch.elapsed(), 2 * kTimeout);
  EXPECT_EQ(s.Working.Counts[4 * 128 - 1], 9);    // blocks 1-4 arrived
  EXPECT_EQ(s.Working.Counts[4 * 128], 4 * 128);  // block 5 on keeps the ramp
}

TEST(LinkFaults, DisconnectMidSpectrumFailsAtOnce) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  rig.analyser().loadCounts(std::vector<uint32_t>(4096, 2));
  rig.analyser().addFault({SimFaultKind::Disconnect, "$R", 10});
  Stopwatch watch(rig.clock);
  EXPECT_EQ(ReadSpectrum(s.Transport, s.Acquisition, s.Working), SpectrumRead::Failed);
  EXPECT_LE(watch.elapsed(), kTimeout);
  EXPECT_EQ(s.Working.Counts[10 * 128 - 1], 2);
  EXPECT_EQ(s.Working.Counts[10 * 128], 10 * 128);
  EXPECT_NE(ReadStatus(s.Transport, s.Acquisition), LinkOutcome::Done);
  EXPECT_EQ(SendCommand(s.Transport, "$C;"), LinkOutcome::LinkFailed);
}

TEST(LinkFaults, AStopThatCannotReachTheAnalyserStillStopsPolling) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  McaStartClick(s);
  ASSERT_TRUE(s.Timer1.Enabled);
  rig.analyser().addFault({SimFaultKind::Disconnect, "$S;"});
  McaStopClick(s);
  EXPECT_FALSE(s.Timer1.Enabled);
  EXPECT_EQ(s.Acquisition.Running, 0);
  EXPECT_EQ(s.Texts.Edit1, kStopLinkFailedText);
}

TEST(LinkFaults, ARefusedStopKeepsTheRunGoing) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  McaStartClick(s);
  rig.analyser().addFault({SimFaultKind::Refuse, "$S;", 0, 1});
  McaStopClick(s);
  EXPECT_TRUE(s.Timer1.Enabled);
  EXPECT_EQ(s.Acquisition.Running, 1);
  McaStopClick(s);
  EXPECT_FALSE(s.Timer1.Enabled);
  EXPECT_EQ(s.Acquisition.Running, 0);
}

TEST(LinkFaults, TicksAgainstADeadAnalyserKeepTheTimerAndTheLastValues) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  McaStartClick(s);
  rig.tick();
  rig.tick();
  const int32_t realTime = s.Acquisition.RealTime;
  rig.analyser().addFault({SimFaultKind::Disconnect, ""});
  rig.tick();
  EXPECT_TRUE(s.Timer1.Enabled);  // every tick tries again
  EXPECT_EQ(s.Acquisition.RealTime, realTime);
  EXPECT_EQ(s.Acquisition.Running, 1);
}

}  // namespace
}  // namespace tolvane
