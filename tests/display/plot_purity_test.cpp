// The plot model is built from the state alone: building it twice from a
// const session gives the same model and changes nothing; the paint's
// handler makes the state changes the paint stands for; no drawing talks
// to the analyser.
#include <gtest/gtest.h>

#include <utility>

#include "handlers/mapping_handlers.h"
#include "handlers/mca_handlers.h"
#include "display/plot_model.h"
#include "handlers/plot_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

// A session whose paint has work to do everywhere: a spectrum with a
// peak, ROIs shown (one of them past entry 9), a calibration, line
// markers whose kept lines are stale, an idle analyser with a rate left
// over, and the labels showing something else.
struct BusyPlot {
  BusyPlot() {
    testing::fillSpectrum(s, 4096, [](int c) { return c >= 585 && c <= 595 ? 1000 : 10; });
    testing::setView(s, 0, 4095);
    s.Display.Cursor = 590;
    s.Calibration.Valid = 1;
    s.Calibration.Gain = 0.01f;
    s.Calibration.UnitText = {'k', 'e', 'V'};
    for (int i : {0, 3, 12}) {
      RoiEntry& roi = s.Rois.Entries[static_cast<size_t>(i)];
      roi.LowChannel = 580;
      roi.HighChannel = 600 + i;
      roi.Shown = roi.Defined = 1;
      roi.GrossSum = -5;  // what the table held before this paint
    }
    s.Lines.Elements = "Mn Fe";
    s.Lines.Shown = true;
    s.Acquisition.Running = 0;
    s.Acquisition.CountRate = 3.5f;
    s.Texts.Label7 = s.Texts.Label8 = "unchanged";
  }
  testing::SimRig rig{0};
  Session& s = *rig.session;
};

TEST(PlotPurity, TheModelFromAConstStateIsRepeatableAndTouchesNothing) {
  BusyPlot b;
  const Session& state = b.s;
  const PlotModel kept = b.s.Plot;
  PlotModel first, second;
  buildPaintModel(state, first);
  buildPaintModel(state, second);
  EXPECT_TRUE(first == second);
  ASSERT_FALSE(first.LineMarkers.empty());  // worked out although the kept lines were stale

  EXPECT_FLOAT_EQ(b.s.Acquisition.CountRate, 3.5f);
  EXPECT_EQ(b.s.Rois.Entries[0].GrossSum, -5);
  EXPECT_EQ(b.s.Texts.Label7, "unchanged");
  EXPECT_EQ(b.s.Texts.Label8, "unchanged");
  EXPECT_TRUE(b.s.Lines.CachedLines.empty());
  EXPECT_TRUE(b.s.Plot == kept);

  // The model shows what the paint shows: an idle rate of 0 and the sums.
  const auto rate = std::find_if(first.Readouts.begin(), first.Readouts.end(),
                                 [](const PlotText& t) { return t.x == 375 && t.y == 5; });
  ASSERT_NE(rate, first.Readouts.end());
  EXPECT_EQ(rate->text, "    0.00");
  ASSERT_EQ(first.Rois.size(), 2u);                     // entries 0 and 3; 12 is never drawn
  EXPECT_EQ(first.Rois[0].gross.text, "     11090.0");  // 11 x 1000 + 9 x 10
}

TEST(PlotPurity, ThePaintHandlerMakesTheStateChangesAndDrawsTheSameModel) {
  BusyPlot b;
  PlotModel expected;
  buildPaintModel(std::as_const(b.s), expected);
  PaintBox1Paint(b.s);

  EXPECT_FLOAT_EQ(b.s.Acquisition.CountRate, 0.0f);
  EXPECT_EQ(b.s.Rois.Entries[0].GrossSum, 11090);
  EXPECT_EQ(b.s.Rois.Entries[3].GrossSum, 11120);
  EXPECT_EQ(b.s.Rois.Entries[12].GrossSum, -5);  // entries past 9 are not summed
  EXPECT_EQ(b.s.Texts.Label7, "1000");
  EXPECT_EQ(b.s.Texts.Label8, "    5.90");
  EXPECT_FALSE(b.s.Lines.CachedLines.empty());
  EXPECT_EQ(b.s.Plot.Live, expected.Live);
  EXPECT_EQ(b.s.Plot.Readouts, expected.Readouts);
  EXPECT_EQ(b.s.Plot.Rois, expected.Rois);
  EXPECT_EQ(b.s.Plot.LineMarkers, expected.LineMarkers);
  EXPECT_EQ(b.s.Plot.Cursor, expected.Cursor);

  // A running analyser's rate is shown and kept.
  b.s.Acquisition.Running = 1;
  b.s.Acquisition.CountRate = 2.25f;
  PaintBox1Paint(b.s);
  EXPECT_FLOAT_EQ(b.s.Acquisition.CountRate, 2.25f);
}

TEST(PlotPurity, FramesAndTheAxisBuildFromAConstStateAndDrawWithoutTalkingToTheAnalyser) {
  testing::SimRig rig(1);
  rig.open();
  Session& s = *rig.session;
  McaStartClick(s);
  rig.tick();
  const std::vector<std::string> before = rig.frames();

  PlotModel a, b;
  buildScaleFrame(std::as_const(s), false, true, a);
  buildScaleFrame(std::as_const(s), false, true, b);
  EXPECT_EQ(a.Frame, b.Frame);
  EXPECT_FALSE(a.Frame.preview.empty());
  buildChannelTicks(std::as_const(s), a);
  EXPECT_FALSE(a.AxisTicks.empty());

  DrawChannelAxis(s);
  DrawLogFrame(s, true);
  DrawLinearFrame(s, false);
  PaintBox1Paint(s);
  EXPECT_EQ(rig.frames(), before);  // not one exchange

  // The axis takes the view from a status block its caller has read.
  DeviceStatus status = s.Acquisition.Status;
  status.setViewFirst(100);
  status.setViewLast(355);
  DrawChannelAxis(s, &status);
  EXPECT_EQ(s.Display.FirstShown, 100);
  EXPECT_EQ(s.Display.LastShown, 355);
  EXPECT_EQ(s.Plot.AxisTicks, channelTicks(100, 355, kAxisStripWidth));
  EXPECT_EQ(rig.frames(), before);
}

}  // namespace
}  // namespace tolvane
