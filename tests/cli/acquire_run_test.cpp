// The acquire command's run loop: it ends at the preset, on an interrupt
// (with what was counted), and when the analyser stops answering, within
// the preset plus the link time-out.
#include "cli/acquire_run.h"

#include <gtest/gtest.h>

#include "device/device_link.h"
#include "device/mca_commands.h"
#include "handlers/mca_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

struct StartedRun {
  testing::SimRig rig;
  int ticks = 0;
  cli::RunHooks hooks;
  explicit StartedRun(int32_t presetTenths) {
    rig.open();
    Session& s = *rig.session;
    s.Mca.PresetTime = s.Acquisition.PresetTime = presetTenths;
    EXPECT_EQ(SetPresetTime(s.Transport, s.Acquisition, presetTenths), LinkOutcome::Done);
    McaStartClick(s);
    hooks.waitOneTick = [this] {
      rig.clock.advanceMillis(kPollIntervalMillis);
      ++ticks;
    };
  }
};

TEST(AcquireRun, EndsAtThePreset) {
  StartedRun run(20);
  EXPECT_EQ(cli::runToPreset(*run.rig.session, run.rig.clock, run.hooks), cli::RunEnd::PresetReached);
  EXPECT_EQ(run.rig.session->Acquisition.RealTime, 20);
  EXPECT_EQ(run.rig.session->Acquisition.Running, 0);
}

TEST(AcquireRun, AnInterruptStopsTheAnalyserAndKeepsTheCountsAndTimes) {
  StartedRun run(100000);
  run.hooks.interrupted = [&] { return run.ticks >= 30; };
  EXPECT_EQ(cli::runToPreset(*run.rig.session, run.rig.clock, run.hooks), cli::RunEnd::Interrupted);
  const Session& s = *run.rig.session;
  EXPECT_EQ(s.Acquisition.Running, 0);
  EXPECT_NEAR(s.Acquisition.RealTime, 30, 2);  // tenths: about 3 s were counted
  EXPECT_GT(s.Acquisition.LiveTime, 0);
  EXPECT_EQ(run.rig.frames().back(), "$S;");
}

// The command's message says whether the analyser took the stop: a refused
// stop leaves the run counting, and nothing pretends otherwise.
TEST(AcquireRun, AnInterruptWhoseStopIsRefusedLeavesTheRunCounting) {
  StartedRun run(100000);
  run.hooks.interrupted = [&] { return run.ticks >= 5; };
  run.rig.analyser().addFault({SimFaultKind::Refuse, "$S;", 0, 1});
  EXPECT_EQ(cli::runToPreset(*run.rig.session, run.rig.clock, run.hooks), cli::RunEnd::Interrupted);
  EXPECT_EQ(run.rig.session->Acquisition.Running, 1);
  EXPECT_EQ(run.rig.frames().back(), "$S;");
}

TEST(AcquireRun, AnAnalyserThatStopsAnsweringEndsTheRunAfterThePresetAndTheTimeOut) {
  StartedRun run(50);
  run.rig.analyser().addFault({SimFaultKind::NoReply, "", 5, -1, 0});
  const int64_t start = run.rig.clock.nowMicros();
  const cli::RunEnd end = cli::runToPreset(*run.rig.session, run.rig.clock, run.hooks);
  EXPECT_TRUE(end == cli::RunEnd::TimedOut || end == cli::RunEnd::LinkFailed);
  EXPECT_EQ(run.rig.session->Acquisition.Running, 0);
  // Bounded: the preset, the allowance and the time-outs of the last tick
  // and the stop.
  EXPECT_LE(run.rig.clock.nowMicros() - start,
            int64_t{50} * 100000 + cli::runAllowanceMicros(*run.rig.session) + 10 * int64_t{kLinkTimeoutMillis} * 1000);
}

}  // namespace
}  // namespace tolvane
