// Start, Stop, Clear and the MCA tick against the simulated analyser on a
// manual clock.
#include <gtest/gtest.h>

#include "device/mca_commands.h"
#include "handlers/mapping_handlers.h"
#include "handlers/mca_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

// A rig whose analyser counts no events of its own, so the tests set the
// counters and counts they need.
testing::SimRig quietRig() {
  SimulatedAnalyserConfig config;
  config.inputRateCps = 0.0;
  return testing::SimRig(1, config);
}

TEST(RunControl, StartPreparesTheHeaderAndSendsG) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  s.Working.Header.setComment("old comment");
  s.Working.Header.setSampleId("old id");
  s.Display.LogScale = false;
  rig.analyser().clearFrameLog();
  McaStartClick(s);
  EXPECT_EQ(s.Working.Header.comment(), "");
  EXPECT_EQ(s.Working.Header.sampleId(), "");
  const auto t = s.Working.Header.startTime();
  EXPECT_EQ(t.year, 2026);
  EXPECT_EQ(t.month, 12);
  EXPECT_EQ(t.day, 7);
  EXPECT_EQ(t.hour, 9);
  EXPECT_EQ(t.minute, 30);
  EXPECT_EQ(t.second, 15);
  EXPECT_EQ(s.Working.Name, "MCA");
  EXPECT_TRUE(s.Display.LogScale);
  EXPECT_TRUE(s.Timer1.Enabled);
  EXPECT_EQ(s.Acquisition.Running, 1);
  EXPECT_EQ(rig.frames(), std::vector<std::string>{"$G;"});
}

TEST(RunControl, StopAndClearAlwaysSendTheirFrames) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  rig.analyser().clearFrameLog();
  McaStopClick(s);  // nothing is running
  McaClearClick(s);
  EXPECT_EQ(rig.frames(), (std::vector<std::string>{"$S;", "$C;"}));
  EXPECT_EQ(s.Working.Counts[100], 0);
}

TEST(RunControl, StopDuringARunTakesTheCountsAndTimesSinceTheLastPoll) {
  testing::SimRig rig;  // counts at the simulator's input rate
  rig.open();
  Session& s = *rig.session;
  McaStartClick(s);
  rig.clock.advanceMillis(100);
  Timer1Timer(s);
  rig.clock.advanceMillis(70);  // counted after the last poll
  rig.analyser().clearFrameLog();
  McaStopClick(s);

  const auto& f = rig.frames();
  ASSERT_EQ(f.size(), 1u + 32 + 1);
  EXPECT_EQ(f[0], "$S;");
  EXPECT_EQ(f[1], "$R1;");
  EXPECT_EQ(f.back(), "$R0;");
  uint64_t held = 0, analyser = 0;
  for (int ch = 0; ch < 4096; ++ch) {
    held += static_cast<uint32_t>(s.Working.Counts[static_cast<size_t>(ch)]);
    analyser += rig.analyser().count(ch);
  }
  EXPECT_GT(analyser, 0u);
  EXPECT_EQ(held, analyser);
  EXPECT_EQ(s.Acquisition.RealTime, rig.analyser().realTimeTicks() / 10);
  EXPECT_FALSE(s.Timer1.Enabled);
  EXPECT_EQ(s.Acquisition.Running, 0);
}

TEST(RunControl, StopRefusedReadsNothingAndTheRunGoesOn) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  McaStartClick(s);
  rig.clock.advanceMillis(100);
  Timer1Timer(s);
  const std::vector<int32_t> before = s.Working.Counts;
  rig.clock.advanceMillis(500);
  rig.analyser().addFault({SimFaultKind::Refuse, "$S;", 0, 1});
  rig.analyser().clearFrameLog();
  McaStopClick(s);
  EXPECT_EQ(rig.frames(), std::vector<std::string>{"$S;"});
  EXPECT_EQ(s.Working.Counts, before);
  EXPECT_TRUE(s.Timer1.Enabled);
  EXPECT_EQ(s.Acquisition.Running, 1);
}

TEST(RunControl, ClearAfterARunForgetsItsTimesSoAWrittenFileDoesNotClaimThem) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  McaStartClick(s);
  for (int i = 0; i < 20; ++i) {
    rig.clock.advanceMillis(100);
    Timer1Timer(s);
  }
  McaStopClick(s);
  ASSERT_GT(s.Acquisition.RealTime, 0);
  McaClearClick(s);
  EXPECT_EQ(s.Acquisition.RealTime, 0);
  EXPECT_EQ(s.Acquisition.LiveTime, 0);
  EXPECT_EQ(s.Acquisition.Status.realTimeTicks(), 0);
  EXPECT_EQ(s.Acquisition.Status.eventCount(), 0);
  EXPECT_EQ(s.Acquisition.Status.viewLast(), 4095);  // the view stays
  // A refused clear keeps the spectrum and so its times.
  McaStartClick(s);
  rig.clock.advanceMillis(500);
  Timer1Timer(s);
  McaStopClick(s);
  const int32_t kept = s.Acquisition.RealTime;
  ASSERT_GT(kept, 0);
  rig.analyser().addFault({SimFaultKind::Refuse, "$C;", 0, 1});
  McaClearClick(s);
  EXPECT_EQ(s.Acquisition.RealTime, kept);
}

TEST(RunControl, ClearDuringARunKeepsItRunning) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  McaStartClick(s);
  rig.tick();
  McaClearClick(s);
  EXPECT_TRUE(s.Timer1.Enabled);
  EXPECT_EQ(s.Acquisition.Running, 1);
  EXPECT_TRUE(rig.analyser().running());
}

TEST(RunControl, PresetEndsOnTheFirstTickAtThePresetWithAFinalReadBeforeStop) {
  auto rig = quietRig();
  rig.open();
  Session& s = *rig.session;
  McaStartClick(s);
  rig.analyser().loadCounters(99'990, 0);
  rig.analyser().clearFrameLog();
  rig.clock.advanceMillis(50);  // 99,995 ticks: not yet
  Timer1Timer(s);
  EXPECT_TRUE(s.Timer1.Enabled);
  EXPECT_EQ(s.Acquisition.Running, 1);
  EXPECT_EQ(s.Acquisition.RealTime, 9999);

  rig.analyser().clearFrameLog();
  rig.clock.advanceMillis(100);  // the analyser stops itself at 100,000
  Timer1Timer(s);
  EXPECT_FALSE(s.Timer1.Enabled);
  EXPECT_EQ(s.Acquisition.Running, 0);
  EXPECT_EQ(s.Acquisition.RealTime, 10000);  // "sec.RT" 1000.0
  const auto& f = rig.frames();
  ASSERT_EQ(f.size(), 32u + 1 + 32 + 1);
  EXPECT_EQ(f[32], "$R0;");
  EXPECT_EQ(f[33], "$R1;");  // the final read ...
  EXPECT_EQ(f[64], "$R32;");
  EXPECT_EQ(f.back(), "$S;");                // ... comes before the stop
  EXPECT_EQ(s.Acquisition.CountRate, 0.0f);  // idle: no rate
}

TEST(RunControl, LiveTimeIsRealTimeLessEventsTimesDeadTimeTruncated) {
  auto rig = quietRig();
  rig.open();
  Session& s = *rig.session;
  McaStartClick(s);
  rig.analyser().loadCounters(500, 100'000);  // 50.0 s real time
  rig.analyser().clearFrameLog();
  Timer1Timer(s);  // no time passes: the counters are as loaded
  EXPECT_EQ(s.Acquisition.RealTime, 50);
  EXPECT_EQ(s.Acquisition.LiveTime, 48);
}

TEST(RunControl, CountRateAndDeadTimeFollowSinglePrecisionArithmetic) {
  for (float deadTime : {2.0f, 1.8f}) {
    auto rig = quietRig();
    rig.open();
    Session& s = *rig.session;
    s.Mca.DeadTimePerEvent = deadTime;
    McaStartClick(s);
    rig.analyser().loadCounts(std::vector<uint32_t>(4096, 0));
    rig.analyser().loadCounters(0, 0);
    Timer1Timer(s);
    std::vector<uint32_t> counts(4096, 0);
    counts[590] = 5000;
    rig.analyser().loadCounts(counts);
    rig.analyser().loadCounters(10, 0);
    Timer1Timer(s);
    EXPECT_FLOAT_EQ(s.Acquisition.CountRate, 50.0f);
    // 50 x 2.0 is 100 (10.0 %); 50 x 1.8f falls just below 90.
    EXPECT_EQ(s.Acquisition.DeadTimePerMille, deadTime == 2.0f ? 100 : 89);
  }
}

TEST(RunControl, EqualRealTimesKeepTheRawCountDifference) {
  auto rig = quietRig();
  rig.open();
  Session& s = *rig.session;
  McaStartClick(s);
  rig.analyser().loadCounts(std::vector<uint32_t>(4096, 0));
  rig.analyser().loadCounters(30, 0);
  Timer1Timer(s);
  std::vector<uint32_t> counts(4096, 0);
  counts[10] = 1234;
  rig.analyser().loadCounts(counts);
  rig.analyser().loadCounters(30, 0);
  Timer1Timer(s);
  EXPECT_EQ(s.Acquisition.CountRate, 1234.0f);
}

TEST(RunControl, ATickWhoseSpectrumReadFailedKeepsTheLastRateWithoutASpike) {
  for (const bool pollFails : {false, true}) {
    SCOPED_TRACE(pollFails ? "a failed queue poll" : "a lost reply");
    auto rig = quietRig();
    rig.open();
    Session& s = *rig.session;
    McaStartClick(s);
    std::vector<uint32_t> counts(4096, 0);
    const auto tickAt = [&](int32_t ticks, uint32_t total) {
      counts[590] = total;
      rig.analyser().loadCounts(counts);
      rig.analyser().loadCounters(ticks, 0);
      Timer1Timer(s);
    };
    tickAt(0, 0);
    tickAt(10, 5000);
    ASSERT_FLOAT_EQ(s.Acquisition.CountRate, 50.0f);
    if (pollFails) {
      rig.bridge.faults().failPollAfterFrame = "$R5;";
      rig.bridge.faults().failPollTimes = 1;
    } else {
      rig.analyser().addFault({SimFaultKind::NoReply, "$R5;", 0, 1});
    }
    tickAt(20, 10000);
    EXPECT_FLOAT_EQ(s.Acquisition.CountRate, 50.0f);  // not 0 from a stale total
    EXPECT_EQ(s.Acquisition.DeadTimePerMille, 89);
    tickAt(30, 15000);
    EXPECT_FLOAT_EQ(s.Acquisition.CountRate, 50.0f);  // over both intervals: no spike
    EXPECT_FLOAT_EQ(s.Acquisition.Total, 15000.0f);
  }
}

TEST(RunControl, ClearDuringARunNeverShowsANegativeRate) {
  auto rig = quietRig();
  rig.open();
  Session& s = *rig.session;
  McaStartClick(s);
  std::vector<uint32_t> counts(4096, 0);
  counts[590] = 5000;
  rig.analyser().loadCounts(counts);
  rig.analyser().loadCounters(10, 0);
  Timer1Timer(s);
  ASSERT_GT(s.Acquisition.CountRate, 0.0f);
  McaClearClick(s);  // the analyser's counts go to 0: the total falls
  rig.analyser().loadCounters(20, 0);
  Timer1Timer(s);
  EXPECT_EQ(s.Acquisition.CountRate, 0.0f);
  EXPECT_EQ(s.Acquisition.DeadTimePerMille, 0);
}

TEST(RunControl, AFinalStatusPastThePresetShowsThePresetAsRealTime) {
  auto rig = quietRig();
  rig.open();
  Session& s = *rig.session;
  s.Mca.PresetTime = 100;  // 10.0 s
  McaStartClick(s);
  rig.analyser().loadCounters(1234, 0);  // the tick comes late: 12.34 s
  Timer1Timer(s);
  EXPECT_EQ(s.Acquisition.Running, 0);
  EXPECT_FALSE(s.Timer1.Enabled);
  EXPECT_EQ(s.Acquisition.RealTime, 100);  // "sec.RT" 10.0, not 12.3
}

TEST(RunControl, TheTickTakesTheAnalysersViewAndScale) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  McaStartClick(s);
  ASSERT_EQ(SendCommand(s.Transport, "$E;"), LinkOutcome::Done);
  ASSERT_EQ(SendCommand(s.Transport, "$V5;"), LinkOutcome::Done);
  rig.tick();
  EXPECT_EQ(s.Display.FirstShown, 1024);
  EXPECT_EQ(s.Display.LastShown, 3071);
  EXPECT_EQ(s.Texts.Label1, "1024ch");
  EXPECT_EQ(s.Texts.Label2, "3071ch");
  EXPECT_EQ(s.Texts.Label3, "2048");
  EXPECT_FALSE(s.Display.LogScale);
  EXPECT_EQ(s.Display.FullScaleIndex, 5);
  ASSERT_EQ(SendCommand(s.Transport, "$O;"), LinkOutcome::Done);  // code 0 means log
  rig.tick();
  EXPECT_TRUE(s.Display.LogScale);
  EXPECT_EQ(s.Display.FullScaleIndex, 5);
}

TEST(RunControl, ASimulatedRunGrowsItsCountsAndReportsTheInputRate) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  McaStartClick(s);
  double previousTotal = 0;
  for (int i = 0; i < 50; ++i) {
    rig.tick();
    ASSERT_GE(s.Acquisition.Total, previousTotal);
    previousTotal = s.Acquisition.Total;
  }
  EXPECT_EQ(s.Acquisition.RealTime, 50);  // 5.0 s
  // 5 kcps in, 1.8 us dead time per recorded event: about 4.96 kcps recorded.
  EXPECT_NEAR(previousTotal / 5.0, 4955.0, 4 * std::sqrt(4955.0 * 5.0) / 5.0);
  EXPECT_GT(s.Acquisition.CountRate, 3.5f);
  EXPECT_LT(s.Acquisition.CountRate, 6.5f);
  EXPECT_LE(s.Acquisition.LiveTime, s.Acquisition.RealTime);
  EXPECT_GE(s.Acquisition.LiveTime, s.Acquisition.RealTime - 1);
}

TEST(RunControl, AMappingTickCountsEachReportedPassOnce) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  ASSERT_EQ(SetPresetTime(s.Transport, s.Acquisition, 5), LinkOutcome::Done);  // 0.5 s per pass
  s.Scan.PresetTime = 5;
  ASSERT_EQ(StartScan(s.Transport, s.Acquisition), LinkOutcome::Done);
  for (int i = 0; i < 20; ++i) rig.tick();  // 2.0 s
  EXPECT_EQ(s.Acquisition.ScanCount, 4);
  EXPECT_EQ(s.Texts.Edit4, "4");
  EXPECT_EQ(rig.analyser().passesCompleted(), 4);
  EXPECT_GT(s.Acquisition.CountRate, 3.0f);  // kcps over one pass
}

}  // namespace
}  // namespace tolvane
