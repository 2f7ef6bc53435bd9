// The ROI net over the SNIP background, worked by hand, and the variance
// of either net sum from a given per-channel variance.
#include "roi/roi_background_net.h"

#include <gtest/gtest.h>

#include <vector>

#include "analysis/snip_background.h"

namespace tolvane {
namespace {

TEST(RoiBackgroundNet, SnipNetWorkedByHand) {
  // The SNIP background of this spectrum with w = 2 and no transform is
  // 1 1.5 2 2 2 1.5 1 2 3 4 5 5 5 5 5 (worked in the SNIP test). ROI 2..5
  // holds 3 + 100 + 3 = 106 counts over 2 + 2 + 2 = 6 of background: net
  // 100, variance 106 + 6.
  const std::vector<int32_t> y{1, 2, 3, 100, 3, 2, 1, 5, 5, 5, 5, 50, 5, 5, 5};
  const std::vector<double> bg = snipBackground(y.data(), 15, {2, false, 0});
  const RoiNetSums a = roiNetOverBackground(y.data(), 15, 2, 5, bg);
  EXPECT_FLOAT_EQ(a.gross, 106.0f);
  EXPECT_FLOAT_EQ(a.net, 100.0f);
  EXPECT_DOUBLE_EQ(a.variance, 112.0);
  // ROI 10..13: 5 + 50 + 5 over 5 + 5 + 5.
  const RoiNetSums b = roiNetOverBackground(y.data(), 15, 10, 13, bg);
  EXPECT_FLOAT_EQ(b.net, 45.0f);
  // The straight line from three channels each side for the same ROI:
  // L = (3+2+1)/3 = 2 and R = (2+1+5)/3 = 8/3 (channel 7 is the foot of
  // the ramp), background (2 + 8/3) * 3 / 2 = 7: the line is lifted by the
  // ramp where SNIP is not.
  EXPECT_NEAR(roiNetSums(y.data(), 15, 2, 5).net, 99.0f, 0.01f);
}

TEST(RoiBackgroundNet, EmptyAndOutsideWindows) {
  const std::vector<int32_t> y(8, 10);
  const std::vector<double> bg(8, 4.0);
  EXPECT_EQ(roiNetOverBackground(y.data(), 8, 5, 5, bg).net, 0.0f);
  EXPECT_EQ(roiNetOverBackground(y.data(), 8, 6, 2, bg).variance, 0.0);
  // Channels beyond the spectrum count 0 in both sums.
  const RoiNetSums past = roiNetOverBackground(y.data(), 8, 6, 12, bg);
  EXPECT_FLOAT_EQ(past.gross, 20.0f);
  EXPECT_FLOAT_EQ(past.net, 12.0f);
}

TEST(RoiBackgroundNet, GivenVarianceEqualToTheCountsGivesThePoissonVariance) {
  std::vector<int32_t> y(64);
  for (size_t c = 0; c < y.size(); ++c) y[c] = static_cast<int32_t>(20 + (c * 37) % 90);
  const std::vector<double> v(y.begin(), y.end());
  for (const auto& [low, high] : {std::pair{10, 20}, std::pair{0, 5}, std::pair{60, 64}, std::pair{30, 31}}) {
    EXPECT_NEAR(roiNetVariance(v, low, high, RoiBackground::StraightLine, 0.0), roiNetSums(y.data(), 64, low, high).variance,
                1e-9)
        << low << ".." << high;
  }
  // SNIP: the channels' variance plus the background under the ROI.
  std::vector<double> doubled(v);
  for (double& x : doubled) x *= 2.0;
  EXPECT_DOUBLE_EQ(roiNetVariance(doubled, 10, 12, RoiBackground::Snip, 30.0), 2.0 * (y[10] + y[11]) + 30.0);
}

}  // namespace
}  // namespace tolvane
