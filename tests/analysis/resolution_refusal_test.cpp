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

// One Gaussian of `area` and FWHM `fwhmCh` channels at `centre` on a flat 100.
std::vector<int32_t> lonePeak(double area, double fwhmCh, double centre) {
  std::vector<int32_t> counts(kChannels, 100);
  for (int c = 0; c < kChannels; ++c)
    counts[static_cast<size_t>(c)] += static_cast<int32_t>(
        std::lround(area * binnedGauss(c, centre, fwhmCh / 2.3548200450309493)));
  return counts;
}

TEST(ResolutionRefusal, AWidthAtABoundOrAPeakAwayFromTheCursorIsRefused) {
  // A peak of 0.7 channels FWHM: the fit converges on a width under the
  // one-channel bound.
  const std::vector<int32_t> spike = lonePeak(1e5, 0.7, 590.2);
  ResolutionFit fit = fitResolution({spike.data(), kChannels, 590, kEvPerChannel});
  EXPECT_EQ(fit.outcome, ResolutionFitOutcome::WidthAtBound) << static_cast<int>(fit.outcome);
  EXPECT_EQ(fit.lowestFwhmCh, 1.0);
  EXPECT_GT(fit.fwhmCh, 0.5);
  EXPECT_LT(fit.fwhmCh, 1.0);

  // A peak of 20 channels FWHM two channels from the spectrum's end: the
  // fitted channels stop at the end, and a quarter of them is less than the
  // width the fit finds.
  const std::vector<int32_t> atEnd = lonePeak(1e5, 20.0, 2045.0);
  fit = fitResolution({atEnd.data(), kChannels, 2046, kEvPerChannel});
  EXPECT_EQ(fit.outcome, ResolutionFitOutcome::WidthAtBound) << static_cast<int>(fit.outcome);
  EXPECT_EQ(fit.high, kChannels);
  EXPECT_NEAR(fit.fwhmCh, 20.0, 0.5);
  EXPECT_NEAR(fit.highestFwhmCh, 2.3548200450309493 * (fit.high - fit.low) / 4.0, 1e-9);
  EXPECT_LT(fit.highestFwhmCh, 16.0);

  // A single channel has no width to fit.
  std::vector<int32_t> oneChannel(kChannels, 100);
  oneChannel[590] = 20000;
  EXPECT_EQ(fitResolution({oneChannel.data(), kChannels, 590, kEvPerChannel}).outcome,
            ResolutionFitOutcome::NotConverged);

  // A 40 eV-wide peak at channel 595.5 while the cursor is at 590.
  std::vector<int32_t> narrow(kChannels, 100);
  for (int c = 560; c < 630; ++c) narrow[static_cast<size_t>(c)] += static_cast<int32_t>(std::lround(
      1e5 * binnedGauss(c, 595.5, 4.0 / 2.3548200450309493)));
  fit = fitResolution({narrow.data(), kChannels, 590, kEvPerChannel});
  EXPECT_EQ(fit.outcome, ResolutionFitOutcome::OffCursor) << fit.centroidCh << " " << fit.fwhmCh;
  EXPECT_EQ(fitResolution({narrow.data(), kChannels, 595, kEvPerChannel}).outcome, ResolutionFitOutcome::Fitted);
}

// Mn K-alpha with a neighbour 200 eV above at a growing share of its area:
// a clean fit, then flagged (chi2r between 3 and 10), then refused.
TEST(ResolutionRefusal, ChiSquareFlagsThenRefusesAPeakWithANeighbour) {
  const ResolutionFit clean = fitResolution({mnSpectrum(1e5, 140).data(), kChannels, 590, kEvPerChannel});
  ASSERT_EQ(clean.outcome, ResolutionFitOutcome::Fitted);
  EXPECT_FALSE(clean.chi2High);
  EXPECT_NEAR(clean.fwhmEv, 140.0, 0.5);

  const auto withNeighbour = [](double share) {
    return fitResolution({mnSpectrum(1e6, 140, share * 1e6, 6100.0).data(), kChannels, 590, kEvPerChannel});
  };
  const ResolutionFit faint = withNeighbour(0.002);
  EXPECT_EQ(faint.outcome, ResolutionFitOutcome::Fitted);
  EXPECT_LT(faint.chi2Reduced, 1.0);
  EXPECT_FALSE(faint.chi2High);

  // 2 %: chi2r about 5.6.
  const ResolutionFit flagged = withNeighbour(0.02);
  EXPECT_EQ(flagged.outcome, ResolutionFitOutcome::Fitted);
  EXPECT_GT(flagged.chi2Reduced, 4.0);
  EXPECT_LT(flagged.chi2Reduced, 8.0);
  EXPECT_TRUE(flagged.chi2High);
  EXPECT_NEAR(flagged.fwhmEv, 140.0, 1.5);
  // A poor fit's error is widened by sqrt(chi2r): the neighbour tells the
  // fit next to nothing about the peak's width, so without the widening
  // both errors would be alike.
  EXPECT_NEAR(flagged.fwhmErrEv / faint.fwhmErrEv, std::sqrt(flagged.chi2Reduced), 0.1 * std::sqrt(flagged.chi2Reduced));

  // 5 %: chi2r about 20.
  const ResolutionFit refused = withNeighbour(0.05);
  EXPECT_EQ(refused.outcome, ResolutionFitOutcome::PoorFit);
  EXPECT_GT(refused.chi2Reduced, 10.0);
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
