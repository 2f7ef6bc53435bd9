// The fit's residual curve in paint-box pixels.
#include "display/residual_curve.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace tolvane {
namespace {

TEST(ResidualCurve, WindowsBecomeSegmentsScaledInSigmaAndClippedToTheView) {
  testing::SimRig rig(0);
  Session& s = *rig.session;
  EXPECT_TRUE(residualCurve(s).empty());  // no fit yet
  FitQuality& q = s.XfitQuality;
  q.valid = true;
  for (int32_t c : {100, 101, 102, 300, 301}) {
    q.channels.push_back(c);
    q.sigma.push_back(2.0);
  }
  q.residual = {0.0, 10.0, -1000.0, 2.0, 2.0};  // 0, +5 sigma, far below, +1 sigma
  testing::setView(s, 0, 1023);                 // two channels per column
  auto segments = residualCurve(s);
  ASSERT_EQ(segments.size(), 2u);
  ASSERT_EQ(segments[0].size(), 3u);
  EXPECT_EQ(segments[0][0].x, 16 + 50);
  EXPECT_EQ(segments[0][0].y, 5 + 156);       // zero at mid-height
  EXPECT_EQ(segments[0][1].y, 5 + 156 - 78);  // 5 sigma a quarter of 312 higher
  EXPECT_EQ(segments[0][2].y, 5 + 311);       // clipped to the bottom row
  EXPECT_EQ(segments[1][0].x, 16 + 150);

  testing::setView(s, 200, 711);  // only the second window is shown
  segments = residualCurve(s);
  ASSERT_EQ(segments.size(), 1u);
  EXPECT_EQ(segments[0].front().x, 16 + 100);
}

}  // namespace
}  // namespace tolvane
