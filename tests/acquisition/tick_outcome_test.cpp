// The MCA and mapping steps, the open sequence and the pass keeping as
// engine operations: each says what happened as a typed outcome, and none
// touches the window's texts or the polling timer.
#include <gtest/gtest.h>

#include "acquisition/mapping_tick.h"
#include "acquisition/mca_tick.h"
#include "acquisition/pass_keeping.h"
#include "device/device_link.h"
#include "device/mca_commands.h"
#include "handlers/mapping_handlers.h"
#include "handlers/mca_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

McaTickResult step(Session& s, const PrecisionCheck& precision = {}) {
  return McaStep({s.Transport, s.Acquisition, s.Working, s.Display, s.Mca}, precision);
}

// A run started through the engine, with window state that must survive.
struct EngineRun {
  testing::SimRig rig;
  explicit EngineRun(int32_t presetTenths) {
    rig.open();
    Session& s = *rig.session;
    s.Mca.PresetTime = presetTenths;
    EXPECT_EQ(SetPresetTime(s.Transport, s.Acquisition, presetTenths), LinkOutcome::Done);
    EXPECT_EQ(StartAcquisition(s.Transport, s.Acquisition), LinkOutcome::Done);
    rig.analyser().clearFrameLog();
  }
  Session& s() { return *rig.session; }
};

TEST(McaStep, CountsAndTakesTheRateFromTheTotals) {
  EngineRun run(100);
  run.rig.clock.advanceMillis(100);
  McaTickResult tick = step(run.s());
  EXPECT_EQ(tick.Outcome, McaTickOutcome::Counting);
  EXPECT_EQ(tick.Spectrum, SpectrumRead::Complete);
  EXPECT_EQ(tick.Status, LinkOutcome::Done);
  EXPECT_FALSE(tick.runEnded());
  run.rig.clock.advanceMillis(1000);
  tick = step(run.s());
  EXPECT_EQ(tick.Outcome, McaTickOutcome::Counting);
  EXPECT_GT(run.s().Acquisition.CountRate, 0.0f);
  EXPECT_EQ(run.s().Acquisition.Running, 1);
  EXPECT_EQ(run.s().Display.LastShown, run.s().Acquisition.Status.viewLast());
}

TEST(McaStep, EndsAtThePresetWithTheFinalReadAndTheStop) {
  EngineRun run(10);
  run.rig.clock.advanceMillis(1100);
  const McaTickResult tick = step(run.s());
  EXPECT_EQ(tick.Outcome, McaTickOutcome::PresetReached);
  EXPECT_EQ(tick.FinalSpectrum, SpectrumRead::Complete);
  EXPECT_EQ(tick.Stop, LinkOutcome::Done);
  EXPECT_EQ(run.s().Acquisition.Running, 0);
  EXPECT_EQ(run.s().Acquisition.RealTime, 10);
  const std::vector<std::string> frames = run.rig.frames();
  ASSERT_GE(frames.size(), 2u);
  EXPECT_EQ(frames.back(), "$S;");
  EXPECT_EQ(frames[frames.size() - 2], "$R32;");  // the spectrum read once more before the stop
}

TEST(McaStep, APrecisionStopKeepsTheRealTimeReached) {
  EngineRun run(10000);
  run.rig.clock.advanceMillis(2000);
  const McaTickResult tick = step(run.s(), [] { return true; });
  EXPECT_EQ(tick.Outcome, McaTickOutcome::PrecisionReached);
  EXPECT_EQ(run.s().Acquisition.Running, 0);
  EXPECT_EQ(run.s().Acquisition.RealTime, run.s().Acquisition.Status.realTimeTicks() / 10);
  EXPECT_LT(run.s().Acquisition.RealTime, 10000);
}

TEST(McaStep, AMissedStatusAndAFailedStopAreOutcomes) {
  EngineRun run(10);
  run.rig.analyser().addFault({SimFaultKind::NoReply, "$R0;", 0, 1});
  run.rig.clock.advanceMillis(1100);
  McaTickResult tick = step(run.s());
  EXPECT_EQ(tick.Outcome, McaTickOutcome::StatusMissed);
  EXPECT_EQ(tick.Status, LinkOutcome::TimedOut);
  EXPECT_EQ(run.s().Acquisition.Running, 1);  // no preset check without a status block

  run.rig.analyser().addFault({SimFaultKind::Disconnect, "$S;", 0, 1});
  tick = step(run.s());
  EXPECT_EQ(tick.Outcome, McaTickOutcome::PresetReached);
  EXPECT_EQ(tick.Stop, LinkOutcome::LinkFailed);
  EXPECT_EQ(run.s().Acquisition.Running, 0);  // the run is over either way
}

TEST(McaTickHandler, AStopThatCannotReachTheAnalyserStopsThePollingAndSaysSo) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  s.Mca.PresetTime = 10;
  ASSERT_EQ(SetPresetTime(s.Transport, s.Acquisition, 10), LinkOutcome::Done);
  McaStartClick(s);
  ASSERT_TRUE(s.Timer1.Enabled);
  rig.analyser().addFault({SimFaultKind::NoReply, "$S;", 0, 1});
  rig.clock.advanceMillis(1100);
  Timer1Timer(s);
  EXPECT_FALSE(s.Timer1.Enabled);
  EXPECT_EQ(s.Texts.Edit1, kStopLinkFailedText);
  EXPECT_EQ(s.Precision.StoppedBy, StopReason::Preset);
}

TEST(MappingStep, CountsPassesAndTellsALostOneApart) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  ASSERT_EQ(SetPresetTime(s.Transport, s.Acquisition, 5), LinkOutcome::Done);  // 0.5 s per pass
  s.Scan.PresetTime = 5;
  ASSERT_EQ(StartScan(s.Transport, s.Acquisition), LinkOutcome::Done);
  s.Texts = WindowTexts{};
  int read = 0, lost = 0;
  rig.analyser().addFault({SimFaultKind::NoReply, "$R1;", 1, 1});  // the second pass's first block
  for (int i = 0; i < 25 && read + lost < 3; ++i) {
    rig.clock.advanceMillis(100);
    const MappingTickResult tick = MappingStep(s.Transport, s.Acquisition, s.Working, s.Display, s.Scan);
    EXPECT_EQ(tick.Status, LinkOutcome::Done);
    if (!tick.passCounted()) continue;
    const KeptPass kept = KeepPass(s, tick.Outcome);
    if (tick.Outcome == MappingTickOutcome::PassRead) {
      ++read;
      EXPECT_EQ(kept.Outcome, PassKeep::NotSaving);
    } else {
      ++lost;
      EXPECT_EQ(tick.Spectrum, SpectrumRead::Failed);
      EXPECT_EQ(kept.Outcome, PassKeep::Lost);
    }
  }
  EXPECT_EQ(read, 2);
  EXPECT_EQ(lost, 1);
  EXPECT_EQ(s.Acquisition.ScanCount, 3);
  EXPECT_EQ(s.Passes.LostPasses, 1);
  EXPECT_EQ(s.Texts.Edit4, WindowTexts{}.Edit4);  // the step leaves the scan count field to the handler

  rig.analyser().addFault({SimFaultKind::Disconnect, "$R0;", 0, 1});
  const MappingTickResult missed = MappingStep(s.Transport, s.Acquisition, s.Working, s.Display, s.Scan);
  EXPECT_EQ(missed.Outcome, MappingTickOutcome::StatusMissed);
  EXPECT_EQ(missed.Status, LinkOutcome::LinkFailed);
}

TEST(OpenAnalyser, SaysWhichStepOfTheOpenFailed) {
  {
    testing::SimRig rig(0);
    EXPECT_EQ(OpenAnalyser(rig.bridge, rig.session->Link, rig.session->Acquisition, 0), OpenOutcome::NotListed);
  }
  const auto failing = [](void (*set)(SimBridgeFaults&)) {
    testing::SimRig rig;
    set(rig.bridge.faults());
    const OpenOutcome outcome = OpenAnalyser(rig.bridge, rig.session->Link, rig.session->Acquisition, 0);
    EXPECT_EQ(rig.session->Acquisition.DeviceOpen, 0);
    return outcome;
  };
  EXPECT_EQ(failing([](SimBridgeFaults& f) { f.failList = true; }), OpenOutcome::ListFailed);
  EXPECT_EQ(failing([](SimBridgeFaults& f) { f.failOpen = true; }), OpenOutcome::OpenFailed);
  EXPECT_EQ(failing([](SimBridgeFaults& f) { f.failReset = true; }), OpenOutcome::ResetFailed);
  EXPECT_EQ(failing([](SimBridgeFaults& f) { f.failLatency = true; }), OpenOutcome::LatencyFailed);
  testing::SimRig rig;
  EXPECT_EQ(OpenAnalyser(rig.bridge, rig.session->Link, rig.session->Acquisition, 0), OpenOutcome::Opened);
  EXPECT_EQ(rig.session->Acquisition.DeviceOpen, 1);
}

TEST(LinkCommands, ValuesWithNoFrameSendNothing) {
  testing::SimRig rig;
  rig.open();
  McaTransport& link = rig.session->Transport;
  rig.analyser().clearFrameLog();
  EXPECT_EQ(SetMemorySize(link, 256), LinkOutcome::NoFrame);
  EXPECT_EQ(SetCursor(link, 10000), LinkOutcome::NoFrame);
  EXPECT_EQ(SetRoiWindow(link, 5, 1, 2), LinkOutcome::NoFrame);
  EXPECT_EQ(SetOutputMode(link, 'X'), LinkOutcome::NoFrame);
  EXPECT_TRUE(rig.frames().empty());
  rig.analyser().addFault({SimFaultKind::Refuse, "$C;", 0, 1});
  EXPECT_EQ(ClearSpectrum(link, rig.session->Acquisition, rig.session->Working), LinkOutcome::Refused);
}

}  // namespace
}  // namespace tolvane
