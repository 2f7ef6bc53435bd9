// SNIP: the clipping worked by hand on a small spectrum, a known continuum
// recovered under peaks, and the options' edges.
#include "analysis/snip_background.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "lines/detector_resolution.h"
#include "lines/snip_width.h"

namespace tolvane {
namespace {

std::vector<double> snip(const std::vector<int32_t>& y, int width, bool lls, int smoothing = 0) {
  return snipBackground(y.data(), static_cast<int32_t>(y.size()), {width, lls, smoothing});
}

TEST(Snip, ClipsWithTheWidestWindowFirstAsWorkedByHand) {
  // p = 2: channel 3 (100) becomes the mean of channels 1 and 5, (2+2)/2; channel
  // 11 (50) the mean of 9 and 13, 5; channels 8..10 take the means of their
  // ramps. p = 1: channel 1 becomes (1+2)/2 and channel 5 (2+1)/2. The ends
  // keep their counts.
  const std::vector<int32_t> y{1, 2, 3, 100, 3, 2, 1, 5, 5, 5, 5, 50, 5, 5, 5};
  const std::vector<double> expected{1, 1.5, 2, 2, 2, 1.5, 1, 2, 3, 4, 5, 5, 5, 5, 5};
  const std::vector<double> bg = snip(y, 2, false);
  ASSERT_EQ(bg.size(), y.size());
  for (size_t c = 0; c < y.size(); ++c) EXPECT_DOUBLE_EQ(bg[c], expected[c]) << "channel " << c;
}

TEST(Snip, SmoothingTakesQuartersAndTheEndsThreeQuartersOfThemselves) {
  // Width 0 leaves the smoothed counts: 0.75*4 + 0.25*8 at the ends,
  // 0.25*4 + 0.5*8 + 0.25*4 in the middle.
  const std::vector<double> bg = snip({4, 8, 4}, 0, false, 1);
  EXPECT_DOUBLE_EQ(bg[0], 5.0);
  EXPECT_DOUBLE_EQ(bg[1], 6.0);
  EXPECT_DOUBLE_EQ(bg[2], 5.0);
}

// A continuum falling as a power of the energy with two Gaussian peaks of
// FWHM 14 channels, noise-free.
std::vector<int32_t> peaksOnContinuum(std::vector<double>* continuum) {
  std::vector<int32_t> y(1024);
  continuum->assign(1024, 0.0);
  for (int c = 0; c < 1024; ++c) {
    const double base = 2000.0 * std::pow((c + 100.0) / 100.0, -1.2);
    const double sigma = 14.0 / 2.3548;
    const double peaks = 5e4 * std::exp(-0.5 * std::pow((c - 300) / sigma, 2)) +
                         8e3 * std::exp(-0.5 * std::pow((c - 600) / sigma, 2));
    (*continuum)[static_cast<size_t>(c)] = base;
    y[static_cast<size_t>(c)] = static_cast<int32_t>(std::lround(base + peaks));
  }
  return y;
}

TEST(Snip, FollowsTheContinuumUnderThePeaks) {
  std::vector<double> continuum;
  const std::vector<int32_t> y = peaksOnContinuum(&continuum);
  for (const bool lls : {false, true}) {
    const std::vector<double> bg = snip(y, 28, lls);
    for (const int centre : {300, 600}) {
      // Within 3 % of the continuum under each peak, where the counts are
      // many times the continuum.
      for (int c = centre - 10; c <= centre + 10; ++c)
        EXPECT_NEAR(bg[static_cast<size_t>(c)], continuum[static_cast<size_t>(c)],
                    0.03 * continuum[static_cast<size_t>(c)])
            << "channel " << c << (lls ? " LLS" : "");
    }
    // Never above the counts: clipping only takes away.
    for (size_t c = 0; c < y.size(); ++c) EXPECT_LE(bg[c], y[c] + 1e-9);
  }
}

TEST(Snip, TooNarrowAWindowLeavesPartOfThePeak) {
  std::vector<double> continuum;
  const std::vector<int32_t> y = peaksOnContinuum(&continuum);
  EXPECT_GT(snip(y, 4, false)[300], 2.0 * continuum[300]);
}

TEST(Snip, EdgesOfItsInput) {
  EXPECT_TRUE(snipBackground(nullptr, 0, {10, true, 2}).empty());
  // A window wider than half the spectrum clips what it can; nothing
  // breaks, nothing is made up.
  const std::vector<double> wide = snip({5, 50, 5}, 4095, false);
  EXPECT_DOUBLE_EQ(wide[1], 5.0);
  // Negative counts (a subtracted spectrum) under the transform: no NaN,
  // the background is never below zero there.
  for (const double v : snip({-20, -5, 10, -3, 0}, 2, true)) {
    EXPECT_TRUE(std::isfinite(v));
    EXPECT_GE(v, -1e-12);
  }
  // The transform and its inverse give back a flat spectrum.
  for (const double v : snip({1000000, 1000000, 1000000, 1000000}, 1, true)) EXPECT_NEAR(v, 1e6, 1e-3);
}

TEST(Snip, WidthFromTheResolution) {
  // 145 eV on 10 eV channels: twice 14.5 channels, rounded up.
  EXPECT_EQ(snipWidthForFwhm(0.145, 0.010), 29);
  EXPECT_EQ(snipWidthForFwhm(0.145, 0.0), 1);
  EXPECT_EQ(snipWidthForFwhm(std::nan(""), 0.01), 1);
  EXPECT_EQ(snipWidthForFwhm(10.0, 1e-6), kSnipMaxWidth);
  // 4096 channels of 10 eV: the FWHM at 20.475 keV, wider than at 5.9 keV.
  const DetectorResolution detector;
  const int width = snipWidthFromResolution(detector, 0.010, 0.0, 4096);
  EXPECT_EQ(width, snipWidthForFwhm(detector.fwhmKev(0.010 * 2047.5), 0.010));
  EXPECT_GT(width, 29);
}

}  // namespace
}  // namespace tolvane
