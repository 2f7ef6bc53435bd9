// The least-squares resolution fit on seeded spectra of the simulator's
// physics: it recovers the simulated FWHM within its stated error, with and
// without a calibration, on flat and sloping backgrounds.
#include "analysis/resolution_fit.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <cstdio>
#include <random>

#include "device/sim/spectrum_model.h"
#include "test_support.h"

namespace tolvane {
namespace {

constexpr int kChannels = 4096;

std::vector<double> modelMean(double events, double fwhmEv, double slopePerChannel = 0.0) {
  SpectrumModelConfig config;
  config.fwhmEvAtMnKa = fwhmEv;
  const auto weights = SpectrumModel(config).channelWeights(kChannels);
  std::vector<double> mean(kChannels);
  for (int c = 0; c < kChannels; ++c)
    mean[static_cast<size_t>(c)] =
        events * weights[static_cast<size_t>(c)] + std::max(0.0, 300.0 + slopePerChannel * (c - 590));
  return mean;
}

struct PullSummary {
  double meanPull = 0, rmsPull = 0, meanChi2 = 0;
  int within1 = 0, within2 = 0, fitted = 0;
};

PullSummary pulls(const std::vector<double>& mean, double trueFwhm, double evPerChannel, int runs, uint64_t seed0) {
  PullSummary s;
  std::vector<int32_t> counts(kChannels);
  for (int run = 0; run < runs; ++run) {
    std::mt19937_64 random(seed0 + static_cast<uint64_t>(run));
    for (int c = 0; c < kChannels; ++c)
      counts[static_cast<size_t>(c)] = std::poisson_distribution<int32_t>(mean[static_cast<size_t>(c)])(random);
    const ResolutionFit fit = fitResolution({counts.data(), kChannels, 592, evPerChannel});
    if (fit.outcome != ResolutionFitOutcome::Fitted) continue;
    ++s.fitted;
    const double pull = (fit.fwhmEv - trueFwhm) / fit.fwhmErrEv;
    s.meanPull += pull;
    s.rmsPull += pull * pull;
    s.meanChi2 += fit.chi2Reduced;
    s.within1 += std::fabs(pull) <= 1 ? 1 : 0;
    s.within2 += std::fabs(pull) <= 2 ? 1 : 0;
  }
  s.meanPull /= s.fitted;
  s.rmsPull = std::sqrt(s.rmsPull / s.fitted);
  s.meanChi2 /= s.fitted;
  return s;
}

void expectConsistent(const PullSummary& s, int runs, const char* what) {
  std::printf("%s: mean pull %.2f, rms pull %.2f, within 1 sigma %d/%d, mean chi2r %.2f\n", what, s.meanPull, s.rmsPull,
              s.within1, runs, s.meanChi2);
  EXPECT_EQ(s.fitted, runs) << what;
  // The continuum's curvature and the neighbouring lines' far tails pull
  // the width down by about 0.05 eV, a quarter of the error at 4e5 events.
  EXPECT_LT(std::fabs(s.meanPull), 0.5) << what;
  EXPECT_GT(s.rmsPull, 0.7) << what;
  EXPECT_LT(s.rmsPull, 1.3) << what;
  EXPECT_GE(s.within2, runs * 85 / 100) << what;
  EXPECT_NEAR(s.meanChi2, 1.0, 0.15) << what;
}

TEST(ResolutionFit, RecoversTheSimulatedFwhmWithinItsStatedError) {
  const int runs = 40;
  expectConsistent(pulls(modelMean(4e5, 145.0), 145.0, 10.0, runs, 1), runs, "calibrated, 145 eV");
  expectConsistent(pulls(modelMean(4e5, 160.0), 160.0, 0.0, runs, 100), runs, "uncalibrated, 160 eV");
  expectConsistent(pulls(modelMean(1e5, 130.0), 130.0, 10.0, runs, 200), runs, "fewer counts, 130 eV");
}

TEST(ResolutionFit, IsStableOnASlopingBackground) {
  const int runs = 40;
  for (const double slope : {-8.0, 8.0})
    expectConsistent(pulls(modelMean(2e5, 145.0, slope), 145.0, 10.0, runs, 300), runs,
                     slope < 0 ? "falling background" : "rising background");
}

TEST(ResolutionFit, ReportsTheCentroidAndRefusesAnEmptyRegion) {
  const auto mean = modelMean(4e5, 145.0);
  std::vector<int32_t> counts(mean.begin(), mean.end());
  const ResolutionFit fit = fitResolution({counts.data(), kChannels, 588, 10.0});
  ASSERT_EQ(fit.outcome, ResolutionFitOutcome::Fitted);
  EXPECT_NEAR(fit.centroidCh, 5899.0 / 10.0 - 0.5, 0.05);  // channel k centred on k
  EXPECT_NEAR(fit.fwhmEv, 145.0, 0.5);
  EXPECT_GT(fit.fwhmErrEv, 0.0);

  std::vector<int32_t> empty(kChannels, 0);
  EXPECT_EQ(fitResolution({empty.data(), kChannels, 590, 10.0}).outcome, ResolutionFitOutcome::NoPeak);
  EXPECT_EQ(fitResolution({counts.data(), 4, 2, 10.0}).outcome, ResolutionFitOutcome::NoPeak);
}

TEST(ResolutionFit, TheWindowsLineUsesTheWorkingSpectrumAndAKeVCalibration) {
  testing::SimRig rig(0);
  Session& s = *rig.session;
  const auto mean = modelMean(4e5, 150.0);
  s.Acquisition.ChannelCount = kChannels;
  std::copy(mean.begin(), mean.end(), s.Working.Counts.begin());
  s.Display.Cursor = 590;
  s.Calibration.Valid = 1;
  s.Calibration.Gain = 0.01f;  // keV per channel; half a channel's offset
  s.Calibration.Offset = 0.005f;
  EXPECT_EQ(resolutionInput(s, 590).evPerChannel, static_cast<double>(0.01f) * 1000.0);
  const std::string line = resolutionLine(s);
  ASSERT_EQ(line.substr(0, 11), "Resolution ") << line;
  EXPECT_NEAR(std::stod(line.substr(11)), 150.0, 0.2) << line;
  EXPECT_NE(line.find(" eV at 5.9 keV (χ²ᵣ "), std::string::npos) << line;
  // A peak the calibration puts far from 5.9 keV (a Mn K-beta, an escape
  // peak, the continuum) is not measured as Mn K-alpha.
  std::vector<int32_t> shifted(mean.begin(), mean.end());
  std::rotate(shifted.begin(), shifted.begin() + 90, shifted.end());  // the peak moves to 500: 5.0 keV
  EXPECT_EQ(fitResolution(resolutionInput(s, 590)).outcome, ResolutionFitOutcome::Fitted);
  std::copy(shifted.begin(), shifted.end(), s.Working.Counts.begin());
  EXPECT_EQ(fitResolution(resolutionInput(s, 500)).outcome, ResolutionFitOutcome::NotMnKAlpha);
  s.Calibration.Valid = 0;  // without a calibration the peak is taken for Mn K-alpha
  EXPECT_EQ(fitResolution(resolutionInput(s, 500)).outcome, ResolutionFitOutcome::Fitted);
  s.Calibration.Valid = 1;
  s.Display.Cursor = 3000;  // nothing there
  EXPECT_EQ(resolutionLine(s), "");
}

}  // namespace
}  // namespace tolvane
