// The view controls in local mode and against the simulated analyser.
#include <gtest/gtest.h>

#include "handlers/analysis_handlers.h"
#include "handlers/file_handlers.h"
#include "handlers/mapping_handlers.h"
#include "handlers/mca_handlers.h"
#include "analysis/energy_calibration.h"
#include "files/spectrum_file.h"
#include "handlers/memory_handlers.h"
#include "handlers/view_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

struct ViewRig {
  explicit ViewRig(int analysers = 0) : rig(analysers) {}
  Session& s() { return *rig.session; }
  void view(int32_t first, int32_t last, int32_t cursor) {
    s().Display.FirstShown = first;
    s().Display.LastShown = last;
    s().Display.Cursor = cursor;
  }
  testing::SimRig rig;
};

TEST(ViewControls, ExpandAndCompressInLocalModeShowTheNewWindow) {
  ViewRig r;
  ExpandClick(r.s());
  EXPECT_EQ(r.s().Texts.Label1, "1024ch");
  EXPECT_EQ(r.s().Texts.Label2, "3071ch");
  ExpandClick(r.s());
  EXPECT_EQ(r.s().Display.FirstShown, 1536);
  EXPECT_EQ(r.s().Display.LastShown, 2559);
  EXPECT_EQ(r.s().Acquisition.Status.viewFirst(), 1536);  // the kept view follows
  EXPECT_EQ(r.s().Texts.Label3, "2048");
  CompresClick(r.s());
  EXPECT_EQ(r.s().Display.FirstShown, 1024);
  EXPECT_EQ(r.s().Display.LastShown, 3071);
  r.view(0, 255, 100);
  CompresClick(r.s());
  EXPECT_EQ(r.s().Display.LastShown - r.s().Display.FirstShown + 1, 512);
}

TEST(ViewControls, ScrollMovesByTenAndShowsThePosition) {
  ViewRig r;
  r.view(10, 265, 100);
  int32_t position = 0;
  ScrollBar1Scroll(r.s(), ScrollCode::LineLeft, position);
  EXPECT_EQ(r.s().Display.FirstShown, 0);
  EXPECT_EQ(r.s().Texts.Edit1, "-10");
  ScrollBar1Scroll(r.s(), ScrollCode::LineLeft, position);
  EXPECT_EQ(r.s().Display.FirstShown, 0);
  r.view(3830, 4085, 4000);
  position = 1;
  ScrollBar1Scroll(r.s(), ScrollCode::LineRight, position);
  EXPECT_EQ(r.s().Display.LastShown, 4095);
  ScrollBar1Scroll(r.s(), ScrollCode::LineRight, position);
  EXPECT_EQ(r.s().Display.LastShown, 4095);
  EXPECT_EQ(r.s().Texts.Edit1, "21");
  EXPECT_EQ(r.s().Texts.Label2, "4095ch");
}

TEST(ViewControls, ArrowsStopAtTheLadderEndsAndLeaveLogMode) {
  ViewRig r;
  r.s().Display.FullScaleIndex = 1;
  UpDown1Click(r.s(), true);
  EXPECT_EQ(r.s().Display.FullScaleIndex, 1);
  EXPECT_FALSE(r.s().Display.LogScale);
  EXPECT_FALSE(r.s().Plot.Frame.logScale);  // the frame on screen is linear too
  UpDown1Click(r.s(), false);
  EXPECT_EQ(r.s().Display.FullScaleIndex, 2);
  r.s().Display.FullScaleIndex = 22;
  UpDown1Click(r.s(), false);
  EXPECT_EQ(r.s().Display.FullScaleIndex, 22);
  UpDown1Click(r.s(), true);
  EXPECT_EQ(r.s().Display.FullScaleIndex, 21);
  LogDispClick(r.s());
  EXPECT_TRUE(r.s().Display.LogScale);
  EXPECT_TRUE(r.s().Plot.Frame.logScale);
}

TEST(ViewControls, AutoChoosesAFullScaleAboveTheMaximumUpToStep20) {
  EXPECT_EQ(autoFullScaleStep(0), 1);
  EXPECT_EQ(autoFullScaleStep(250), 3);  // must exceed the maximum
  EXPECT_EQ(autoFullScaleStep(249), 2);
  EXPECT_EQ(autoFullScaleStep(250'000'001), 20);
  EXPECT_EQ(autoFullScaleStep(2'000'000'000), 20);
  ViewRig r;
  r.view(100, 300, 200);  // the ramp: maximum 300 in the window
  AutoVfsClick(r.s());
  EXPECT_EQ(r.s().Display.FullScaleIndex, 3);
  EXPECT_FALSE(r.s().Display.LogScale);
}

TEST(ViewControls, TheMouseSetsTheCursorInsideTheSpectrumAndShowsItsEnergy) {
  ViewRig r;
  PaintBox1MouseDown(r.s(), MouseButton::Left, 16 + 100);  // s = 8
  EXPECT_EQ(r.s().Display.Cursor, 800);
  EXPECT_EQ(r.s().Texts.Label3, "800");
  EXPECT_EQ(r.s().Texts.Label8, "0.00");            // no calibration: the label stays
  PaintBox1MouseDown(r.s(), MouseButton::Left, 3);  // left of the plot
  EXPECT_EQ(r.s().Display.Cursor, 0);
  PaintBox1MouseDown(r.s(), MouseButton::Other, 200);
  EXPECT_EQ(r.s().Display.Cursor, 0);
  r.s().Calibration.Valid = 1;
  r.s().Calibration.Gain = 0.0078125f;
  r.s().Calibration.UnitText = {'k', 'e', 'V'};
  r.view(0, 255, 0);                                        // p = 2
  PaintBox1MouseDown(r.s(), MouseButton::Left, 16 + 1000);  // past the window, inside the spectrum
  EXPECT_EQ(r.s().Display.Cursor, 500);
  EXPECT_EQ(r.s().Texts.Label8, "    3.91");
  EXPECT_EQ(r.s().Texts.Label9, "keV");
}

// With the analyser open and idle the mouse reads the kept status view:
// every local change of the window must carry it along.
TEST(ViewControls, AClickLandsUnderThePointerAfterEveryLocalViewChange) {
  ViewRig r(1);
  r.rig.open();
  ExpandClick(r.s());
  ExpandClick(r.s());
  ExpandClick(r.s());  // 1792 .. 2303, s = 1
  int32_t position = 0;
  ScrollBar1Scroll(r.s(), ScrollCode::LineRight, position);
  PaintBox1MouseDown(r.s(), MouseButton::Left, 16 + 40);
  EXPECT_EQ(r.s().Display.Cursor, r.s().Display.FirstShown + 40);

  // A file read of a shorter spectrum shows it whole.
  testing::TempDir dir;
  testing::fillSpectrum(r.s(), 1024, [](int c) { return c; });
  ASSERT_TRUE(WriteSpectrumFile(r.s(), dir.path("k.dat")));
  testing::setView(r.s(), 0, 4095);
  r.s().SelectedMemory = 1;  // the file also goes into Mem1
  ASSERT_TRUE(ReadSpectrumFile(r.s(), dir.path("k.dat")));
  PaintBox1MouseDown(r.s(), MouseButton::Left, 16 + 146);  // s = 2
  EXPECT_EQ(r.s().Display.Cursor, 292);

  // A memory shown with the window as it stands.
  testing::setView(r.s(), 100, 611);
  MemSpecClick(r.s(), 1);
  PaintBox1MouseDown(r.s(), MouseButton::Left, 16 + 10);
  EXPECT_EQ(r.s().Display.Cursor, 110);
}

TEST(ViewControls, TheEnergyLabelFollowsSnapPeakAndANewCalibration) {
  ViewRig r;
  auto& counts = r.s().Working.Counts;
  std::fill(counts.begin(), counts.begin() + 4096, 0);
  counts[589] = 500;
  r.s().Display.Cursor = 585;
  r.s().CalibrationPage = {"100", "1000", "1.0", "10.0", "keV"};
  EngCalibClick(r.s());                       // gain 0.01, offset 0
  EXPECT_EQ(r.s().Texts.Label8, "    5.85");  // the cursor's energy at once
  EXPECT_EQ(r.s().Texts.Label9, "keV");
  SnapPeakClick(r.s());
  EXPECT_EQ(r.s().Display.Cursor, 589);
  EXPECT_EQ(r.s().Texts.Label8, "    5.89");
}

TEST(ViewControls, SnapPeakTakesTheLowestOfEqualMaximaAndStaysPutWithoutAPeak) {
  ViewRig r;
  auto& counts = r.s().Working.Counts;
  std::fill(counts.begin(), counts.begin() + 4096, 0);
  r.s().Display.Cursor = 100;
  SnapPeakClick(r.s());
  EXPECT_EQ(r.s().Display.Cursor, 100);
  EXPECT_EQ(r.s().Texts.Edit1, "No peak");

  for (int c = 0; c < 4096; ++c) counts[static_cast<size_t>(c)] = 7;  // flat
  SnapPeakClick(r.s());
  // Peak at channel 90; centroid of 85..95 is 90.
  EXPECT_EQ(r.s().Display.Cursor, 90);
  EXPECT_EQ(r.s().Texts.Edit1, "   90.00");

  counts[2] = 100;  // near the start: only channels that exist count
  r.s().Display.Cursor = 4;
  SnapPeakClick(r.s());
  EXPECT_GE(r.s().Display.Cursor, 0);
  EXPECT_NEAR(r.s().Display.PeakCentroid, (0 * 7 + 1 * 7 + 2 * 100 + 3 * 7 + 4 * 7 + 5 * 7 + 6 * 7 + 7 * 7) / 149.0,
              1e-4);

  LengChClick(r.s());  // the cursor stands on the snapped peak
  char expected[16];
  std::snprintf(expected, sizeof expected, "%8.2f", static_cast<double>(r.s().Display.PeakCentroid));
  EXPECT_EQ(r.s().CalibrationPage.LowCh, expected);
  r.s().Display.Cursor = 1000;
  HengChClick(r.s());
  EXPECT_EQ(r.s().CalibrationPage.HiCh, "1000");
}

TEST(ViewControls, AnalyserModeSendsCommandsAndTheNextTickBringsTheViewBack) {
  ViewRig r(1);
  r.rig.open();
  McaStartClick(r.s());
  r.rig.analyser().clearFrameLog();
  ExpandClick(r.s());
  EXPECT_EQ(r.rig.frames().front(), "$E;");
  EXPECT_EQ(r.rig.frames().back(), "$R0;");  // the axis reads the analyser's view
  EXPECT_EQ(r.s().Display.FirstShown, 1024);
  r.s().Display.FirstShown = 0;  // the tick, not the handler, owns the view now
  r.rig.tick();
  EXPECT_EQ(r.s().Texts.Label1, "1024ch");
  EXPECT_EQ(r.s().Texts.Label2, "3071ch");

  r.rig.analyser().clearFrameLog();
  r.s().Acquisition.MaxCount = 150'000;
  AutoVfsClick(r.s());
  EXPECT_EQ(r.s().Texts.Edit1, "$V;;");  // step 11 is the character ':'
  EXPECT_EQ(r.s().Display.FullScaleIndex, 11);
  r.s().Acquisition.MaxCount = 300'000'000;
  AutoVfsClick(r.s());
  EXPECT_EQ(r.s().Texts.Edit1, "$VD;");
  UpDown1Click(r.s(), true);
  LogDispClick(r.s());
  int32_t position = 0;
  ScrollBar1Scroll(r.s(), ScrollCode::LineLeft, position);
  ScrollBar1Scroll(r.s(), ScrollCode::Other, position);
  CompresClick(r.s());
  const auto f = r.rig.frames();
  EXPECT_EQ(f, (std::vector<std::string>{"$V;;", "$VD;", "$V;", "$O;", "$l;", "$ ;", "$e;", "$R0;"}));
  r.rig.tick();
  EXPECT_TRUE(r.s().Display.LogScale);
  EXPECT_EQ(r.s().Texts.Label1, "0ch");  // compressed back to the whole memory
}

TEST(ViewControls, ARefusedViewCommandChangesNothingMore) {
  ViewRig r(1);
  r.rig.open();
  McaStartClick(r.s());
  r.rig.analyser().addFault({SimFaultKind::Refuse, "$V"});
  r.s().Display.FullScaleIndex = 5;
  UpDown1Click(r.s(), true);
  EXPECT_EQ(r.s().Display.FullScaleIndex, 5);
  EXPECT_FALSE(r.s().Display.LogScale);  // cleared before sending
}

}  // namespace
}  // namespace tolvane
