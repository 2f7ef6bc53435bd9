// The simulated analyser as a protocol peer: physics, view, passes, faults.
#include <gtest/gtest.h>

#include <cmath>

#include "device/mca_commands.h"
#include "device/sim/spectrum_model.h"
#include "handlers/mca_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

// Centroid of the counts in channels [lo, hi].
double centroid(const std::vector<int32_t>& counts, int lo, int hi) {
  double sum = 0, weighted = 0;
  for (int c = lo; c <= hi; ++c) {
    sum += counts[static_cast<size_t>(c)];
    weighted += static_cast<double>(counts[static_cast<size_t>(c)]) * c;
  }
  return weighted / sum;
}

TEST(SimulatedAnalyser, TheMnKAlphaPeakSitsWhereTheModelPutsIt) {
  SimulatedAnalyserConfig config;
  config.inputRateCps = 50'000;
  testing::SimRig rig(1, config);
  rig.open();
  Session& s = *rig.session;
  McaStartClick(s);
  rig.clock.advanceMillis(60'000);
  ASSERT_NE(ReadSpectrum(s.Transport, s.Acquisition, s.Working), SpectrumRead::Failed);

  // The K-alpha doublet: K-alpha2 at half the intensity of K-alpha1.
  const SpectrumModel& model = rig.analyser().model();
  const double expected = (model.channelPosition(5899.0, 4096) + 0.5 * model.channelPosition(5888.0, 4096)) / 1.5;
  const double found = centroid(s.Working.Counts, 570, 608) + 0.5;  // channel c spans c .. c + 1
  EXPECT_NEAR(found, expected, 0.3);
  EXPECT_NEAR(found, 590, 1.5);

  int peak = 0;
  for (int c = 0; c < 4096; ++c)
    if (s.Working.Counts[static_cast<size_t>(c)] > s.Working.Counts[static_cast<size_t>(peak)]) peak = c;
  EXPECT_NEAR(peak, 589, 1);
  // K-beta at 6.49 keV stands out above the continuum beside it.
  EXPECT_GT(s.Working.Counts[649], 5 * s.Working.Counts[680]);
}

TEST(SimulatedAnalyser, RecordedEventsFollowNonParalysableDeadTime) {
  SimulatedAnalyserConfig config;
  config.inputRateCps = 100'000;
  config.deadTimeMicros = 2.0;
  ManualClock clock;
  SimulatedAnalyser analyser(clock, config);
  const uint8_t start[] = {'$', 'G', ';'};
  analyser.receive(start, sizeof start);
  clock.advanceMillis(10'000);
  analyser.advance();
  // m = n / (1 + n tau) = 100000 / 1.2 per second.
  const double expected = 100'000.0 / 1.2 * 10.0;
  EXPECT_NEAR(static_cast<double>(analyser.eventCount()), expected, 5 * std::sqrt(expected));
  EXPECT_EQ(analyser.realTimeTicks(), 1000);
}

TEST(SimulatedAnalyser, TheSameSeedGivesTheSameSpectrum) {
  std::vector<uint32_t> runs[2];
  for (auto& run : runs) {
    ManualClock clock;
    SimulatedAnalyser analyser(clock, SimulatedAnalyserConfig{});
    const uint8_t start[] = {'$', 'G', ';'};
    analyser.receive(start, sizeof start);
    clock.advanceMillis(2000);
    analyser.advance();
    for (int c = 0; c < 4096; ++c) run.push_back(analyser.count(c));
  }
  EXPECT_EQ(runs[0], runs[1]);
}

TEST(SimulatedAnalyser, StopsCountingAtItsPreset) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  ASSERT_EQ(SetPresetTime(s.Transport, s.Acquisition, 20), LinkOutcome::Done);  // 2.0 s
  ASSERT_EQ(StartAcquisition(s.Transport, s.Acquisition), LinkOutcome::Done);
  rig.clock.advanceMillis(5000);
  rig.analyser().advance();
  EXPECT_FALSE(rig.analyser().running());
  EXPECT_EQ(rig.analyser().realTimeTicks(), 200);
}

TEST(SimulatedAnalyser, ViewCommandsFollowTheZoomAndScrollRules) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  for (const char* frame : {"$E;", "$E;"}) ASSERT_EQ(SendCommand(s.Transport, frame), LinkOutcome::Done);
  EXPECT_EQ(rig.analyser().view().First, 1536);
  EXPECT_EQ(rig.analyser().view().Last, 2559);
  ASSERT_EQ(SendCommand(s.Transport, "$r;"), LinkOutcome::Done);
  EXPECT_EQ(rig.analyser().view().First, 1546);
  EXPECT_EQ(rig.analyser().view().Cursor, 2058);
  ASSERT_EQ(SendCommand(s.Transport, "$ ;"), LinkOutcome::Done);
  ASSERT_EQ(SendCommand(s.Transport, "$e;"), LinkOutcome::Done);
  EXPECT_EQ(rig.analyser().view().Last - rig.analyser().view().First + 1, 2048);

  EXPECT_EQ(rig.analyser().fullScaleCode(), 0);
  ASSERT_EQ(SendCommand(s.Transport, "$V;"), LinkOutcome::Done);  // up from step 2
  EXPECT_EQ(rig.analyser().fullScaleCode(), 1);
  ASSERT_EQ(SendCommand(s.Transport, "$V;"), LinkOutcome::Done);  // no wrap below 1
  EXPECT_EQ(rig.analyser().fullScaleCode(), 1);
  ASSERT_EQ(SendCommand(s.Transport, "$VD;"), LinkOutcome::Done);  // 'D' is step 20
  EXPECT_EQ(rig.analyser().fullScaleCode(), 20);
  ASSERT_EQ(SendCommand(s.Transport, "$v;"), LinkOutcome::Done);
  ASSERT_EQ(SendCommand(s.Transport, "$v;"), LinkOutcome::Done);
  ASSERT_EQ(SendCommand(s.Transport, "$v;"), LinkOutcome::Done);
  EXPECT_EQ(rig.analyser().fullScaleCode(), 22);
  ASSERT_EQ(SendCommand(s.Transport, "$O;"), LinkOutcome::Done);
  EXPECT_EQ(rig.analyser().fullScaleCode(), 0);
}

TEST(SimulatedAnalyser, UnknownOrMalformedFramesAreRefused) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  for (const char* frame : {"$Q;", "$@C12;", "$@R5,0001,0002;", "$M3;", "$V0;", "$Pabc;", "$R33;"})
    EXPECT_EQ(SendCommand(s.Transport, frame), LinkOutcome::Refused) << frame;
  EXPECT_EQ(SendCommand(s.Transport, "$DM;"), LinkOutcome::Done);
}

TEST(SimulatedAnalyser, EachPassIsReportedInExactlyOneStatusBlock) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  ASSERT_EQ(SetPresetTime(s.Transport, s.Acquisition, 10), LinkOutcome::Done);
  ASSERT_EQ(StartScan(s.Transport, s.Acquisition), LinkOutcome::Done);
  rig.clock.advanceMillis(3500);  // three passes end while nobody asks
  int reported = 0;
  for (int i = 0; i < 6; ++i) {
    ASSERT_EQ(ReadStatus(s.Transport, s.Acquisition), LinkOutcome::Done);
    reported += s.Acquisition.Status.scanDone() != 0;
  }
  EXPECT_EQ(reported, 3);
  // The finished pass is what the block reads return; the live bank is new.
  ASSERT_NE(ReadSpectrum(s.Transport, s.Acquisition, s.Working), SpectrumRead::Failed);
  uint64_t total = 0;
  for (int c = 0; c < 4096; ++c) total += static_cast<uint32_t>(s.Working.Counts[static_cast<size_t>(c)]);
  EXPECT_NEAR(static_cast<double>(total), 4955.0, 400.0);  // one 1.0 s pass
}

TEST(SimulatedAnalyser, MemorySizeResetsTheViewAndLimitsTheBlocks) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  ASSERT_EQ(SetMemorySize(s.Transport, 512), LinkOutcome::Done);
  ASSERT_EQ(ReadStatus(s.Transport, s.Acquisition), LinkOutcome::Done);
  EXPECT_EQ(s.Acquisition.Status.viewLast(), 511);
  EXPECT_EQ(s.Acquisition.Status.viewCursor(), 256);
  EXPECT_EQ(SendCommand(s.Transport, "$R5;"), LinkOutcome::Refused);
}

// Counts and the time they were counted in go together: the size the
// memory has keeps both (and the view), a new size or a return from a scan
// to MCA counting starts both from nothing.
TEST(SimulatedAnalyser, CountsAndTheirTimeAreKeptOrClearedTogether) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  SimulatedAnalyser& a = rig.analyser();
  ASSERT_EQ(StartAcquisition(s.Transport, s.Acquisition), LinkOutcome::Done);
  rig.clock.advanceMillis(2000);
  ASSERT_EQ(StopAcquisition(s.Transport, s.Acquisition), LinkOutcome::Done);
  ASSERT_EQ(SendCommand(s.Transport, "$E;"), LinkOutcome::Done);
  const auto total = [&] {
    uint64_t sum = 0;
    for (int c = 0; c < a.channels(); ++c) sum += a.count(c);
    return sum;
  };
  const uint64_t counted = total();
  ASSERT_GT(counted, 0u);
  ASSERT_EQ(a.realTimeTicks(), 200);

  ASSERT_EQ(SetMemorySize(s.Transport, 4096), LinkOutcome::Done);  // the size it has
  EXPECT_EQ(total(), counted);
  EXPECT_EQ(a.realTimeTicks(), 200);
  ASSERT_EQ(ReadStatus(s.Transport, s.Acquisition), LinkOutcome::Done);
  EXPECT_EQ(s.Acquisition.Status.viewFirst(), 1024);  // the expanded view stays

  ASSERT_EQ(SetMemorySize(s.Transport, 1024), LinkOutcome::Done);
  EXPECT_EQ(total(), 0u);
  EXPECT_EQ(a.realTimeTicks(), 0);

  // A scan, then MCA counting: the pass left in the memory is not counted
  // into the run.
  ASSERT_EQ(SetPresetTime(s.Transport, s.Acquisition, 5), LinkOutcome::Done);
  ASSERT_EQ(StartScan(s.Transport, s.Acquisition), LinkOutcome::Done);
  rig.clock.advanceMillis(1200);
  ASSERT_EQ(StopAcquisition(s.Transport, s.Acquisition), LinkOutcome::Done);
  ASSERT_EQ(SetPresetTime(s.Transport, s.Acquisition, 100), LinkOutcome::Done);
  ASSERT_EQ(StartAcquisition(s.Transport, s.Acquisition), LinkOutcome::Done);
  EXPECT_EQ(total(), 0u);
  EXPECT_EQ(a.realTimeTicks(), 0);
}

}  // namespace
}  // namespace tolvane
