// The precision preset: the ROI net sum's variance, the stop at the first
// tick whose relative sigma reaches the target, the estimate of the time
// still needed, and the spread of the reached precision over seeded runs.
#include "acquisition/precision_stop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "handlers/mca_setup_handlers.h"
#include "device/mca_commands.h"
#include "handlers/mca_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

constexpr int32_t kRoiLow = 570, kRoiHigh = 610;  // Mn K-alpha at 4096 channels

TEST(RoiNetSums, VarianceOfTheNetSumMatchesSeededPoissonSpectra) {
  // A peak on a background, one ROI reaching the spectrum's first channel
  // so that background channels fall outside it (and count 0).
  const int size = 64;
  std::vector<double> mean(size);
  for (int c = 0; c < size; ++c)
    mean[static_cast<size_t>(c)] = 40.0 + 900.0 * std::exp(-0.5 * std::pow((c - 12) / 3.0, 2));
  for (const auto& [low, high] : {std::pair{5, 20}, std::pair{0, 24}, std::pair{30, 63}}) {
    std::mt19937_64 random(7);
    std::vector<int32_t> counts(size);
    double sum = 0.0, sumSq = 0.0, predicted = 0.0;
    const int runs = 4000;
    for (int run = 0; run < runs; ++run) {
      for (int c = 0; c < size; ++c)
        counts[static_cast<size_t>(c)] = std::poisson_distribution<int32_t>(mean[static_cast<size_t>(c)])(random);
      const RoiNetSums sums = roiNetSums(counts.data(), size, low, high);
      sum += sums.net;
      sumSq += static_cast<double>(sums.net) * sums.net;
      predicted += sums.variance;
    }
    const double observed = (sumSq - sum * sum / runs) / (runs - 1);
    predicted /= runs;
    // The sample variance of 4000 draws is good to about 2.2 %.
    EXPECT_NEAR(observed / predicted, 1.0, 0.08) << low << ".." << high;
  }
}

TEST(RoiNetSums, WrittenFormulaAndWindowsWithoutANetSum) {
  std::vector<int32_t> counts(100);
  for (int c = 0; c < 100; ++c) counts[static_cast<size_t>(c)] = 10 + c;
  const RoiNetSums sums = roiNetSums(counts.data(), 100, 40, 52);
  const double n = 12, gross = 12 * 10 + (40 + 51) * 6, s6 = 6 * 10 + 38 + 39 + 40 + 52 + 53 + 54;
  EXPECT_FLOAT_EQ(sums.gross, static_cast<float>(gross));
  // The background's third is 0.33333, so the sum is a hair below the
  // exact formula.
  EXPECT_NEAR(sums.variance, gross + (n / 6) * (n / 6) * s6 - (n / 3) * counts[40], 0.05);
  // High below low (stored as typed) or equal: no channel, so no net sum
  // either; a negative width would have turned the background into one.
  for (const auto& [low, high] : {std::pair{52, 40}, std::pair{70, 60}, std::pair{40, 40}}) {
    const RoiNetSums empty = roiNetSums(counts.data(), 100, low, high);
    EXPECT_EQ(empty.gross, 0.0f) << low << ".." << high;
    EXPECT_EQ(empty.net, 0.0f) << low << ".." << high;
    EXPECT_EQ(empty.variance, 0.0) << low << ".." << high;
  }
  // A dip has no positive net sum and so no relative sigma.
  for (int c = 40; c < 52; ++c) counts[static_cast<size_t>(c)] = 5;
  EXPECT_TRUE(std::isinf(netRelativeSigmaPct(roiNetSums(counts.data(), 100, 40, 52))));
}

TEST(PrecisionStop, EstimateAndReadout) {
  EXPECT_DOUBLE_EQ(secondsToPrecision(2.0, 1.0, 10.0), 30.0);  // four times the time in all
  EXPECT_DOUBLE_EQ(secondsToPrecision(0.9, 1.0, 10.0), 0.0);
  EXPECT_EQ(secondsToPrecision(2.0, 1.0, 0.0), -1.0);
  EXPECT_EQ(precisionReadout(2.34, 1.0, 41.6), "σ 2.3 % → 1.0 % in ~42 s");
  EXPECT_EQ(precisionReadout(INFINITY, 1.0, -1.0), "σ -- % → 1.0 %");
}

TEST(PrecisionStop, TheSetupDialogSwitchesItAndRefusesBadValues) {
  testing::SimRig rig;
  Session& s = *rig.session;
  McaSetupFields f = LoadSetupFields(s);
  EXPECT_FALSE(f.PrecisionOn);  // off by default
  f.PrecisionOn = true;
  f.PrecisionRoi = "3";
  f.PrecisionPct = "0.5";
  EXPECT_TRUE(StoreSetupFields(s, f));
  EXPECT_TRUE(s.Precision.Enabled);
  EXPECT_EQ(s.Precision.Roi, 3);
  EXPECT_FLOAT_EQ(s.Precision.TargetPct, 0.5f);
  for (const auto& [roi, pct] :
       {std::pair{"16", "1"}, std::pair{"2", "0"}, std::pair{"x", "1"}, std::pair{"1.5", "2"}}) {
    f.PrecisionRoi = roi;
    f.PrecisionPct = pct;
    s.Texts.Edit1.clear();
    EXPECT_FALSE(StoreSetupFields(s, f)) << roi << " " << pct;
    EXPECT_EQ(s.Texts.Edit1, kPrecisionError);
    EXPECT_EQ(s.Precision.Roi, 3);  // unchanged
  }
  f.PrecisionOn = false;
  EXPECT_TRUE(StoreSetupFields(s, f));  // switching off needs no valid numbers
  EXPECT_FALSE(s.Precision.Enabled);
  EXPECT_EQ(LoadSetupFields(s).PrecisionPct, "0.50");
}

struct PrecisionRun {
  bool stoppedOnFirstTick = false;  // the stop came on the first tick at the target
  double reachedPct = 0.0;          // on the tick that stopped the run
  double net = 0.0, seconds = 0.0;  // after the final read
  StopReason reason = StopReason::None;
};

testing::SimRig precisionRig(uint64_t seed, float targetPct, int32_t presetTenths) {
  SimulatedAnalyserConfig config;
  config.seed = seed;
  testing::SimRig rig(1, config);
  rig.open();
  Session& s = *rig.session;
  s.Mca.PresetTime = presetTenths;
  s.Acquisition.PresetTime = presetTenths;
  EXPECT_EQ(SetPresetTime(s.Transport, s.Acquisition, presetTenths), LinkOutcome::Done);
  s.Rois.Entries[1].LowChannel = kRoiLow;
  s.Rois.Entries[1].HighChannel = kRoiHigh;
  s.Precision.Enabled = true;
  s.Precision.Roi = 1;
  s.Precision.TargetPct = targetPct;
  return rig;
}

// Runs to the end, checking on every tick whether the counts then in hand
// had already reached the target.
PrecisionRun runToPrecision(testing::SimRig& rig) {
  Session& s = *rig.session;
  PrecisionRun out;
  McaStartClick(s);
  bool reachedEarlier = false;
  while (s.Timer1.Enabled) {
    rig.tick();
    if (s.Timer1.Enabled) {
      const RoiNetSums sums = roiNetSums(s.Working.Counts.data(), s.Acquisition.ChannelCount, kRoiLow, kRoiHigh);
      reachedEarlier = reachedEarlier || netRelativeSigmaPct(sums) <= s.Precision.TargetPct;
    } else {
      out.reachedPct = s.Precision.RelSigmaPct;
    }
  }
  out.stoppedOnFirstTick = !reachedEarlier;
  out.reason = s.Precision.StoppedBy;
  out.net = s.Precision.Sums.net;
  out.seconds = s.Acquisition.RealTime * 0.1;
  return out;
}

TEST(PrecisionStop, EndsOnTheTickThatReachesTheTargetWithTheRealTimes) {
  auto rig = precisionRig(3, 1.0f, 10000);
  Session& s = *rig.session;
  rig.analyser().clearFrameLog();
  const PrecisionRun run = runToPrecision(rig);
  EXPECT_EQ(run.reason, StopReason::Precision);
  EXPECT_TRUE(run.stoppedOnFirstTick);
  EXPECT_LE(run.reachedPct, 1.0);
  EXPECT_EQ(s.Acquisition.Running, 0);
  EXPECT_FALSE(rig.analyser().running());
  // The final read comes before the stop frame, as at the preset time.
  const auto frames = rig.frames();
  ASSERT_GE(frames.size(), 3u);
  EXPECT_EQ(frames.back(), "$S;");
  EXPECT_EQ(frames[frames.size() - 2].rfind("$R", 0), 0u);
  // The real time is the one reached, not the preset.
  EXPECT_LT(s.Acquisition.RealTime, 10000);
  EXPECT_EQ(s.Acquisition.RealTime, rig.analyser().realTimeTicks() / 10);
  EXPECT_LE(s.Acquisition.LiveTime, s.Acquisition.RealTime);
  EXPECT_NE(s.Precision.Readout.find("→ 1.0 %"), std::string::npos);
  // The status field says why the run ended before its preset.
  EXPECT_EQ(s.Texts.Edit1, "Stopped: ROI # 1 net σ 1.00 % reached");
}

TEST(PrecisionStop, PresetWinsWhenThePrecisionIsOutOfReach) {
  auto rig = precisionRig(4, 0.01f, 5);  // 0.5 s
  Session& s = *rig.session;
  const PrecisionRun run = runToPrecision(rig);
  EXPECT_EQ(run.reason, StopReason::Preset);
  EXPECT_EQ(s.Acquisition.RealTime, 5);
  EXPECT_EQ(s.Texts.Edit1.find("Stopped:"), std::string::npos);  // the preset ended it, as every run
  EXPECT_GT(s.Precision.RelSigmaPct, 0.01);
}

TEST(PrecisionStop, OffOrWithoutAnRoiTheRunEndsAtThePreset) {
  for (const bool enabled : {false, true}) {
    auto rig = precisionRig(5, 50.0f, 3);
    Session& s = *rig.session;
    s.Precision.Enabled = enabled;
    s.Rois.Entries[1].HighChannel = kRoiLow;  // no channels
    const PrecisionRun run = runToPrecision(rig);
    EXPECT_EQ(run.reason, StopReason::Preset);
    EXPECT_EQ(s.Acquisition.RealTime, 3);
    EXPECT_TRUE(s.Precision.Readout.empty());
  }
}

TEST(PrecisionStop, TimeEstimateAfterATenthOfTheRunIsWithinTwentyPercent) {
  for (uint64_t seed : {11u, 12u, 13u}) {
    auto rig = precisionRig(seed, 0.6f, 10000);
    Session& s = *rig.session;
    McaStartClick(s);
    std::vector<std::pair<double, double>> estimates;  // (elapsed, estimate)
    while (s.Timer1.Enabled) {
      rig.tick();
      if (s.Timer1.Enabled) estimates.emplace_back(s.Acquisition.RealSeconds, s.Precision.SecondsToTarget);
    }
    const double end = s.Acquisition.RealTime * 0.1;
    ASSERT_GT(end, 5.0);
    for (const auto& [elapsed, estimate] : estimates) {
      if (elapsed < 0.1 * end) continue;
      const double remaining = end - elapsed;
      EXPECT_NEAR(estimate, remaining, 0.2 * remaining + 0.1) << "seed " << seed << " at " << elapsed << " s";
    }
  }
}

TEST(PrecisionStop, ReachedPrecisionOverSeededRunsIsConsistentWithTheTarget) {
  // Stopping when sigma reaches p makes the net sum nearly fixed and the
  // counting time random; the count rate it measures (net / time) then
  // scatters by p from run to run.
  const double target = 2.0;
  const int runs = 200;
  double sumRate = 0.0, sumRateSq = 0.0, sumReached = 0.0;
  int firstTick = 0;
  for (int run = 0; run < runs; ++run) {
    auto rig = precisionRig(1000 + static_cast<uint64_t>(run), static_cast<float>(target), 10000);
    const PrecisionRun r = runToPrecision(rig);
    ASSERT_EQ(r.reason, StopReason::Precision);
    ASSERT_LE(r.reachedPct, target);
    firstTick += r.stoppedOnFirstTick ? 1 : 0;
    sumReached += r.reachedPct;
    const double rate = r.net / r.seconds;
    sumRate += rate;
    sumRateSq += rate * rate;
  }
  EXPECT_EQ(firstTick, runs);
  const double meanRate = sumRate / runs;
  const double spreadPct = 100.0 * std::sqrt((sumRateSq - sumRate * meanRate) / (runs - 1)) / meanRate;
  // The sample spread of 200 runs is good to about 5 %; the ticks add a
  // little scatter of their own in the counting time.
  EXPECT_NEAR(spreadPct, target, 0.25 * target);
  EXPECT_GT(sumReached / runs, 0.85 * target);
  std::printf("precision %.1f %%: mean reached sigma %.3f %%, spread of net/time %.3f %%\n", target, sumReached / runs,
              spreadPct);
}

}  // namespace
}  // namespace tolvane
