// The plot's SNIP choices and normalised memory overlays, as numbers of
// the model.
#include <gtest/gtest.h>

#include "analysis/snip_background.h"
#include "display/memory_slots.h"
#include "display/normalised_overlay.h"
#include "display/plot_model.h"
#include "display/shown_background.h"
#include "handlers/plot_handlers.h"
#include "roi/roi_background_net.h"
#include "test_support.h"

namespace tolvane {
namespace {

int32_t peakOnSlope(int c) { return 400 - c / 4 + (c >= 500 && c < 520 ? 3000 : 0); }

TEST(CountsAtLiveTime, ScalesAndRoundsOnlyWhenThereIsALiveTime) {
  const std::vector<int32_t> y{0, 3, 10, -4, 2147483647};
  EXPECT_EQ(countsAtLiveTime(y.data(), 5, 600, 1000), (std::vector<int32_t>{0, 5, 17, -7, 2147483647}));
  EXPECT_EQ(countsAtLiveTime(y.data(), 5, 0, 1000), y);
  EXPECT_EQ(countsAtLiveTime(y.data(), 5, 2000, 1000), (std::vector<int32_t>{0, 2, 5, -2, 1073741824}));
}

TEST(ShownBackground, RoiNetOverSnipIsTheChosenNetSumOfThePlot) {
  testing::SimRig rig;
  Session& s = *rig.session;
  testing::fillSpectrum(s, 1024, peakOnSlope);
  testing::setView(s, 0, 1023);
  RoiEntry& roi = s.Rois.Entries[0];
  roi.Defined = roi.Shown = 1;
  roi.LowChannel = 490;
  roi.HighChannel = 530;
  PaintBox1Paint(s);
  const std::string line = s.Plot.Rois.front().net.text;
  s.Display.RoiNetOverSnip = true;
  s.Display.SnipWidth = 25;
  PaintBox1Paint(s);
  const std::vector<double> bg = snipBackground(s.Working.Counts.data(), 1024, {25, true, 0});
  const RoiNetSums expected = roiNetOverBackground(s.Working.Counts.data(), 1024, 490, 530, bg);
  char text[32];
  std::snprintf(text, sizeof text, "%12.1f", static_cast<double>(expected.net));
  EXPECT_EQ(s.Plot.Rois.front().net.text, text);
  EXPECT_NE(s.Plot.Rois.front().net.text, line);
  // 20 channels of 3000 counts stand on the slope: the net is their sum.
  EXPECT_NEAR(expected.net, 60000.0f, 600.0f);
}

TEST(ShownBackground, WidthFromTheFieldTheResolutionOrTheDefault) {
  testing::SimRig rig;
  Session& s = *rig.session;
  testing::fillSpectrum(s, 1024, peakOnSlope);
  s.Calibration.Valid = false;
  EXPECT_EQ(shownSnipWidth(s), kDefaultSnipWidth);
  s.Calibration.Valid = true;
  s.Calibration.Gain = 0.01f;
  s.Calibration.Offset = 0.0f;
  EXPECT_EQ(shownSnipWidth(s), 28);  // twice the 138 eV a 145 eV detector has at 5.1 keV
  s.Display.SnipWidth = 12;
  EXPECT_EQ(shownSnipWidth(s), 12);
  EXPECT_TRUE(backgroundCurve(s).empty());  // not asked for
  s.Display.SnipShown = true;
  EXPECT_FALSE(backgroundCurve(s).empty());
}

TEST(NormalisedOverlay, TheReferenceIsTheMcaSlotsRunOrAHundredSeconds) {
  testing::SimRig rig;
  Session& s = *rig.session;
  EXPECT_EQ(overlayReferenceLiveTime(s), kDefaultReferenceLiveTenths);
  s.Acquisition.LiveTime = 300;  // the MCA slot shown, after a run
  EXPECT_EQ(overlayReferenceLiveTime(s), 300);
  ASSERT_TRUE(showMemory(s, 1));  // the slot's header is kept with its live time
  EXPECT_EQ(overlayReferenceLiveTime(s), 300);
}

}  // namespace
}  // namespace tolvane
