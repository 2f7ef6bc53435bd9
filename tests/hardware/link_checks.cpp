#include "tests/hardware/link_checks.h"

#include <gtest/gtest.h>

#include <chrono>

#include "device/mca_commands.h"
#include "device/sim/sim_ftdi.h"
#include "handlers/mca_handlers.h"

namespace tolvane::hw {

namespace {

int64_t millisSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

AcquisitionOutcome run(FtdiApi& api, Clock& clock, const std::function<void()>& tickPeriod, int ticks,
                       const std::function<std::vector<std::string>()>& frames) {
  Session s(api, clock);
  s.LocalTime = [] { return LocalDateTime{2026, 12, 7, 9, 30, 15}; };
  AcquisitionOutcome out;
  McaOpenClick(s);
  out.opened = s.Acquisition.DeviceOpen == 1;
  if (!out.opened) return out;
  McaStartClick(s);
  for (int i = 0; i < ticks; ++i) {
    tickPeriod();
    Timer1Timer(s);
  }
  McaStopClick(s);
  EXPECT_EQ(ReadSpectrum(s.Transport, s.Acquisition, s.Working), SpectrumRead::Complete);
  out.channelCount = s.Acquisition.ChannelCount;
  out.counts.assign(s.Working.Counts.begin(), s.Working.Counts.begin() + out.channelCount);
  out.maxCount = s.Acquisition.MaxCount;
  out.realTime = s.Acquisition.RealTime;
  out.liveTime = s.Acquisition.LiveTime;
  out.timerRunning = s.Timer1.Enabled;
  out.frames = frames();
  return out;
}

}  // namespace

AcquisitionOutcome acquire(FtdiApi& api, Clock& linkClock, FtdiChip& chip, int ticks) {
  // Every exchange waits for the latency timer once or twice: at 6 ms a
  // 4096-channel tick takes about half a second, so the long run uses a
  // tenth of it (the waits are still there, and the packets the same).
  chip.setLatencyScale(0.1);
  return run(
      api, linkClock, [&] { chip.advanceAnalyserMillis(100); }, ticks,
      [&] { return chip.withAnalyser([](SimulatedAnalyser& a) { return a.frameLog(); }); });
}

AcquisitionOutcome acquireDirect(const std::string& serial, uint64_t seed, int ticks) {
  ManualClock clock;
  SimFtdi bridge(clock);
  SimulatedAnalyserConfig config;
  config.serial = serial;
  config.seed = seed;
  bridge.attach(config);
  return run(
      bridge, clock, [&] { clock.advanceMillis(100); }, ticks, [&] { return bridge.analyser(0).frameLog(); });
}

std::vector<LinkFault> linkFaults() {
  const auto analyserFault = [](SimFaultKind kind, const char* prefix) {
    return [kind, prefix](FtdiChip& c) {
      c.withAnalyser([&](SimulatedAnalyser& a) { a.addFault({kind, prefix, 0, 1, 0}); });
    };
  };
  return {
      {"Unplugged", analyserFault(SimFaultKind::Disconnect, "$R5;"), false},
      {"StalledEndpoint", [](FtdiChip& c) { c.failAfterFrame(ChipFault::Stall, "$R5;"); }, true},
      {"ShortPacket", analyserFault(SimFaultKind::ShortReply, "$R0;"), true},
      {"SilentBridge", [](FtdiChip& c) { c.failAfterFrame(ChipFault::Silent, "$R0;"); }, false},
  };
}

void checkFaultEndsAsLinkFailure(FtdiApi& api, Clock& linkClock, FtdiChip& chip, const LinkFault& fault) {
  constexpr int64_t kTimeOutMs = 3000, kSlackMs = 1500;
  Session s(api, linkClock);
  McaOpenClick(s);
  ASSERT_EQ(s.Acquisition.DeviceOpen, 1);
  McaStartClick(s);
  chip.advanceAnalyserMillis(100);
  Timer1Timer(s);
  fault.inject(chip);
  chip.advanceAnalyserMillis(100);

  const auto start = std::chrono::steady_clock::now();
  Timer1Timer(s);
  // The block reads and the status read: at most two time-outs.
  EXPECT_LT(millisSince(start), 2 * kTimeOutMs + kSlackMs) << fault.name;
  EXPECT_LE(s.Acquisition.LiveTime, s.Acquisition.RealTime) << fault.name;
  EXPECT_TRUE(s.Timer1.Enabled) << fault.name << ": a communication fault does not stop the polling";
  EXPECT_EQ(s.Acquisition.Running, 1) << fault.name;

  const auto again = std::chrono::steady_clock::now();
  const LinkOutcome next = SendCommand(s.Transport, "$DM;");
  if (fault.recovers) {
    EXPECT_EQ(next, LinkOutcome::Done) << fault.name;
    EXPECT_EQ(ReadStatus(s.Transport, s.Acquisition), LinkOutcome::Done) << fault.name;
    EXPECT_LT(millisSince(again), kSlackMs) << fault.name;
  } else {
    // Whether the bridge reports an error or stays silent: a failure.
    EXPECT_TRUE(next == LinkOutcome::LinkFailed || next == LinkOutcome::TimedOut) << fault.name;
    // Making sure nothing stale is waiting, then the reply: two waits.
    EXPECT_LT(millisSince(again), 2 * kTimeOutMs + kSlackMs) << fault.name;
  }
}

}  // namespace tolvane::hw
