// The resolution fit refuses what it cannot believe: a width at a bound of
// the fit, a centroid far from where the peak was looked for, a chi-square
// that says the peak is not a lone Mn K-alpha doublet, and a calibration
// that is not a positive number. A chi-square between 3 and 10 is flagged.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "analysis/resolution_fit.h"
#include "test_support.h"

namespace tolvane {
namespace {

constexpr int kChannels = 2048;
constexpr double kEvPerChannel = 10.0;

double binnedGauss(int c, double mu, double sigma) {
  const double s = 1.0 / (std::sqrt(2.0) * sigma);
  return 0.5 * (std::erf((c + 0.5 - mu) * s) - std::erf((c - 0.5 - mu) * s));
}

// Mn K-alpha1/2 (2:1, 11 eV apart) at 10 eV a channel on a flat 200, with
// a line of `otherArea` at `otherEv`; expected counts, rounded.
std::vector<int32_t> mnSpectrum(double area, double fwhmEv, double otherArea = 0.0, double otherEv = 5947.0) {
  const double sigma = fwhmEv / 2.3548200450309493 / kEvPerChannel;
  std::vector<int32_t> counts(kChannels);
  for (int c = 0; c < kChannels; ++c)
    counts[static_cast<size_t>(c)] = static_cast<int32_t>(std::lround(
        200.0 + area * (binnedGauss(c, 589.9, sigma) + 0.5 * binnedGauss(c, 588.8, sigma)) +
        otherArea * binnedGauss(c, otherEv / kEvPerChannel, sigma)));
  return counts;
}

TEST(ResolutionRefusal, AWidthAtABoundOrAPeakAwayFromTheCursorIsRefused) {
  std::vector<int32_t> spike(kChannels, 100);
  spike[590] = 20000;  // narrower than a channel
  ResolutionFit fit = fitResolution({spike.data(), kChannels, 590, kEvPerChannel});
  EXPECT_TRUE(fit.outcome == ResolutionFitOutcome::WidthAtBound || fit.outcome == ResolutionFitOutcome::NotConverged)
      << static_cast<int>(fit.outcome) << " " << fit.fwhmCh;
  // Two channels of a peak far narrower than the channels.
  spike[591] = 9000;
  fit = fitResolution({spike.data(), kChannels, 590, kEvPerChannel});
  EXPECT_TRUE(fit.outcome == ResolutionFitOutcome::WidthAtBound || fit.outcome == ResolutionFitOutcome::NotConverged)
      << static_cast<int>(fit.outcome) << " " << fit.fwhmCh;

  // A 40 eV-wide peak at channel 595.5 while the cursor is at 590.
  std::vector<int32_t> narrow(kChannels, 100);
  for (int c = 560; c < 630; ++c) narrow[static_cast<size_t>(c)] += static_cast<int32_t>(std::lround(
      1e5 * binnedGauss(c, 595.5, 4.0 / 2.3548200450309493)));
  fit = fitResolution({narrow.data(), kChannels, 590, kEvPerChannel});
  EXPECT_EQ(fit.outcome, ResolutionFitOutcome::OffCursor) << fit.centroidCh << " " << fit.fwhmCh;
  EXPECT_EQ(fitResolution({narrow.data(), kChannels, 595, kEvPerChannel}).outcome, ResolutionFitOutcome::Fitted);
}

// Mn K-alpha on a growing Cr K-beta: a clean fit, then flagged, then
// refused, and the flag only where chi2r is between 3 and 10.
TEST(ResolutionRefusal, ChiSquareFlagsThenRefusesAPeakWithANeighbour) {
  const ResolutionFit clean = fitResolution({mnSpectrum(1e5, 140).data(), kChannels, 590, kEvPerChannel});
  ASSERT_EQ(clean.outcome, ResolutionFitOutcome::Fitted);
  EXPECT_FALSE(clean.chi2High);
  EXPECT_NEAR(clean.fwhmEv, 140.0, 0.5);
  bool sawFlag = false, sawRefusal = false;
  for (const double share : {0.002, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1.0}) {
    const std::vector<int32_t> counts = mnSpectrum(1e6, 140, share * 1e6, 6100.0);
    const ResolutionFit fit = fitResolution({counts.data(), kChannels, 590, kEvPerChannel});
    if (fit.outcome == ResolutionFitOutcome::Fitted) {
      EXPECT_FALSE(sawRefusal) << share;  // once refused, a larger neighbour stays refused
      EXPECT_EQ(fit.chi2High, fit.chi2Reduced > 3.0) << share;
      EXPECT_LE(fit.chi2Reduced, 10.0) << share;
      sawFlag = sawFlag || fit.chi2High;
    } else {
      EXPECT_TRUE(fit.outcome == ResolutionFitOutcome::PoorFit || fit.outcome == ResolutionFitOutcome::WidthAtBound ||
                  fit.outcome == ResolutionFitOutcome::OffCursor || fit.outcome == ResolutionFitOutcome::NotConverged)
          << share << " " << static_cast<int>(fit.outcome);
      if (fit.outcome == ResolutionFitOutcome::PoorFit) {
        EXPECT_GT(fit.chi2Reduced, 10.0);
      }
      sawRefusal = true;
    }
  }
  EXPECT_TRUE(sawFlag);
  EXPECT_TRUE(sawRefusal);
}

TEST(ResolutionRefusal, ACalibrationThatIsNotAPositiveNumberIsRefused) {
  testing::SimRig rig(0);
  Session& s = *rig.session;
  const std::vector<int32_t> counts = mnSpectrum(1e5, 140);
  s.Acquisition.ChannelCount = kChannels;
  std::copy(counts.begin(), counts.end(), s.Working.Counts.begin());
  s.Calibration.Valid = 1;
  for (const float gain : {std::numeric_limits<float>::quiet_NaN(), 0.0f, -0.01f,
                           std::numeric_limits<float>::infinity()}) {
    s.Calibration.Gain = gain;
    EXPECT_EQ(fitResolution(resolutionInput(s, 590)).outcome, ResolutionFitOutcome::BadCalibration) << gain;
  }
  s.Calibration.Gain = 0.01f;
  s.Calibration.Offset = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(fitResolution(resolutionInput(s, 590)).outcome, ResolutionFitOutcome::BadCalibration);
  // The same spectrum calibrated in eV or keV measures the same width.
  s.Calibration.Offset = 0.0f;
  const ResolutionFit kev = fitResolution(resolutionInput(s, 590));
  s.Calibration.Gain = 10.0f;
  const ResolutionFit ev = fitResolution(resolutionInput(s, 590));
  ASSERT_EQ(kev.outcome, ResolutionFitOutcome::Fitted);
  ASSERT_EQ(ev.outcome, ResolutionFitOutcome::Fitted);
  EXPECT_NEAR(ev.fwhmEv, kev.fwhmEv, 1e-3);
  EXPECT_NEAR(ev.fwhmEv, 140.0, 0.5);
}

}  // namespace
}  // namespace tolvane
