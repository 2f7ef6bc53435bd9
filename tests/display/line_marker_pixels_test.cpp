// Line markers as pixels of the plot picture: a marker's column at a known
// calibration, in log and linear scale, at several zooms, and the dashes of
// escape peaks.
#include <gtest/gtest.h>

#include <QColor>

#include "display/pixel_pen_renderer.h"
#include "display/plot_renderer.h"
#include "handlers/lines_handlers.h"
#include "handlers/plot_handlers.h"
#include "handlers/view_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

struct MarkerRig {
  MarkerRig() : renderer(QColor::fromRgb(0xFFD4D0C8)) {
    s.Painter = &renderer;
    InitialiseState(s);
    testing::fillSpectrum(s, 4096, [](int) { return 0; });
    s.Calibration.Valid = 1;
    s.Calibration.Gain = 0.01f;  // keV per channel
    s.Calibration.Offset = 0.0f;
    s.Display.Cursor = 4000;  // keep the red cursor away from the markers
  }
  void show(int32_t first, int32_t last) {
    testing::setView(s, first, last);
    PaintBox1Paint(s);
  }
  QRgb pixel(int x, int y) const { return renderer.PlotImage.pixel(x, y); }
  testing::SimRig rig{0};
  Session& s = *rig.session;
  PlotRenderer renderer;
};

constexpr int kBottom = kPlotHeight - 1;
const QRgb kFirstColour = toQRgb(elementColour(0));

// Fe K-alpha1 (6.4039 keV) lands on channel 640; the family's strongest
// line is 60 % of the plot's height tall.
void expectFeKAlphaAt(const MarkerRig& r, int x) {
  const int top = kBottom - markerHeight(1.0, kPlotHeight);
  EXPECT_EQ(r.pixel(x, kBottom), kFirstColour) << x;
  EXPECT_EQ(r.pixel(x, top + 1), kFirstColour) << x;
  EXPECT_NE(r.pixel(x, top - 1), kFirstColour) << x;
  EXPECT_NE(r.pixel(x + 6, kBottom - 20), kFirstColour) << x;  // a column with no line
}

TEST(LineMarkerPixels, AtTheCalibratedChannelAtSeveralZooms) {
  MarkerRig r;
  LinesTextChange(r.s, "Fe");
  LinesOnClick(r.s, true);
  r.show(0, 4095);  // 8 channels per column
  expectFeKAlphaAt(r, 640 / 8);
  r.show(512, 1023);  // one channel per column
  expectFeKAlphaAt(r, 640 - 512);
  r.show(600, 727);  // 4 pixels per channel: the middle one
  expectFeKAlphaAt(r, (640 - 600) * 4 + 2);
  // Expand from the full view around a cursor on the line, as the button does.
  r.s.Display.Cursor = 640;
  r.show(0, 4095);
  ExpandClick(r.s);
  ExpandClick(r.s);
  const DisplayState& d = r.s.Display;
  ASSERT_LE(d.FirstShown, 640);
  ASSERT_GE(d.LastShown, 640);
  const ColumnMapping& m = r.s.Plot.Mapping;
  expectFeKAlphaAt(r, m.expanded() ? (640 - d.FirstShown) * m.p + m.p / 2 : (640 - d.FirstShown) / m.s);
}

TEST(LineMarkerPixels, SamePlaceInLogAndLinearScale) {
  MarkerRig r;
  LinesTextChange(r.s, "Fe");
  LinesOnClick(r.s, true);
  r.show(512, 1023);
  ASSERT_TRUE(r.s.Display.LogScale);
  expectFeKAlphaAt(r, 128);
  UpDown1Click(r.s, true);  // a linear full scale
  ASSERT_FALSE(r.s.Display.LogScale);
  PaintBox1Paint(r.s);
  expectFeKAlphaAt(r, 128);
  LogDispClick(r.s);
  expectFeKAlphaAt(r, 128);
}

TEST(LineMarkerPixels, EscapePeaksAreDashedAndOffMeansNoMarkers) {
  MarkerRig r;
  LinesTextChange(r.s, "Fe");
  LinesOnClick(r.s, true);
  r.show(256, 767);
  const int x = 466 - 256;  // Fe K-alpha1 escape, 4.664 keV
  EXPECT_EQ(r.pixel(x, kBottom), kFirstColour);
  EXPECT_EQ(r.pixel(x, kBottom - 2), kFirstColour);
  EXPECT_NE(r.pixel(x, kBottom - 3), kFirstColour);
  EXPECT_NE(r.pixel(x, kBottom - 5), kFirstColour);
  LinesOnClick(r.s, false);
  EXPECT_NE(r.pixel(x, kBottom), kFirstColour);
  EXPECT_NE(r.pixel(640 - 256, kBottom - 20), kFirstColour);
  // Without a calibration the box stays on but nothing is drawn.
  LinesOnClick(r.s, true);
  r.s.Calibration.Valid = 0;
  PaintBox1Paint(r.s);
  EXPECT_NE(r.pixel(640 - 256, kBottom - 20), kFirstColour);
}

TEST(LineMarkerPixels, EachElementInItsOwnColour) {
  MarkerRig r;
  LinesTextChange(r.s, "Fe Cu");
  LinesOnClick(r.s, true);
  r.show(512, 1023);
  EXPECT_EQ(r.pixel(640 - 512, kBottom - 20), kFirstColour);
  EXPECT_EQ(r.pixel(805 - 512, kBottom - 20), toQRgb(elementColour(1)));  // Cu K-alpha1 8.0478 keV
}

}  // namespace
}  // namespace tolvane
