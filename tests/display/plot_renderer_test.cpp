// The plot's pixels: grid rows, scale ticks, trace strokes, cursor marker,
// ROI shading. Text pixels depend on the font, so they are not checked.
#include "display/plot_renderer.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPalette>

#include "display/pixel_pen_renderer.h"
#include "handlers/plot_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

constexpr QRgb kFace = 0xFFD4D0C8;

QRgb rgb(uint32_t colour) { return toQRgb(colour); }

struct RenderRig {
  RenderRig() : renderer(QColor::fromRgb(kFace)) {
    s.Painter = &renderer;
    InitialiseState(s);
  }
  void spectrum(int m, int32_t (*f)(int)) { testing::fillSpectrum(s, m, f); }
  void view(int32_t first, int32_t last) { testing::setView(s, first, last); }
  QRgb plot(int x, int y) const { return renderer.PlotImage.pixel(x, y); }
  testing::SimRig rig{0};
  Session& s = *rig.session;
  PlotRenderer renderer;
};

TEST(PlotPixels, LogGridRowsAreMaroonAcrossTheBackground) {
  RenderRig r;  // start-up ran the log frame
  for (int row : {311, 259, 207, 155, 103, 51}) {
    EXPECT_EQ(r.renderer.PlotBackground.pixel(0, row), rgb(0x000080)) << row;
    EXPECT_EQ(r.renderer.PlotBackground.pixel(511, row), rgb(0x000080)) << row;
  }
  EXPECT_EQ(r.renderer.PlotBackground.pixel(300, 258), rgb(0));
  // Channel-axis pictures: two black rows over button face.
  EXPECT_EQ(r.renderer.ChannelAxisTemplate.pixel(100, 1), rgb(0));
  EXPECT_EQ(r.renderer.ChannelAxisTemplate.pixel(100, 2), kFace);
}

TEST(PlotPixels, LinearGridRows) {
  RenderRig r;
  DrawLinearFrame(r.s, true);
  for (int row : {311, 249, 187, 125, 63, 1})
    EXPECT_EQ(r.renderer.PlotBackground.pixel(256, row), rgb(0x000080)) << row;
  EXPECT_EQ(r.renderer.PlotBackground.pixel(256, 259), rgb(0));
}

TEST(PlotPixels, LogMinorTicksStopBeforeTheStripEdge) {
  RenderRig r;
  const QImage& strip = r.renderer.ScaleStrip;
  for (int offset : {16, 25, 31, 36, 40, 44, 47, 50}) {
    const int row = kScaleStripHeight - (offset + 1);
    EXPECT_EQ(strip.pixel(4, row), rgb(0)) << offset;
    EXPECT_EQ(strip.pixel(14, row), rgb(0)) << offset;
    EXPECT_EQ(strip.pixel(15, row), kFace) << offset;  // the end point is not drawn
    EXPECT_EQ(strip.pixel(3, row), kFace) << offset;
  }
  EXPECT_EQ(strip.pixel(0, kScaleStripHeight - 1), rgb(0));    // decade line e0
  EXPECT_EQ(strip.pixel(15, kScaleStripHeight - 53), rgb(0));  // decade line e1
}

TEST(PlotPixels, OneChannelPerColumnIsAStaircaseAndEightAreMinMaxBars) {
  RenderRig r;
  r.spectrum(4096, [](int c) { return c == 300 || c == 2400 ? 1000 : 10; });
  r.s.Display.LogScale = false;
  r.s.Display.FullScaleIndex = 4;
  DrawLinearFrame(r.s, true);
  const QRgb lime = rgb(kLime);
  const int high = countRow(1000, false, 4, kPlotHeight), low = countRow(10, false, 4, kPlotHeight);
  const int middle = (high + low) / 2;

  r.view(0, 511);  // s = 1: up the spike's column, across, and down the next
  PaintBox1Paint(r.s);
  EXPECT_EQ(r.plot(300, middle), lime);
  EXPECT_EQ(r.plot(300, high), lime);
  EXPECT_EQ(r.plot(301, middle), lime);  // the step comes down in the next column
  EXPECT_NE(r.plot(302, middle), lime);

  r.view(0, 4095);  // s = 8: channel 2400 is column 300, a bar of its own
  PaintBox1Paint(r.s);
  for (int y = high + 1; y <= low; ++y) ASSERT_EQ(r.plot(300, y), lime) << y;
  EXPECT_NE(r.plot(301, middle), lime);
  EXPECT_NE(r.plot(299, middle), lime);
}

TEST(PlotPixels, CursorMarkerIs25RowsHighAndAbsentAtTheFirstColumn) {
  RenderRig r;
  r.spectrum(4096, [](int) { return 100; });
  r.view(0, 511);
  r.s.Display.Cursor = 300;
  PaintBox1Paint(r.s);
  const int top = countRow(100, true, 2, kPlotHeight);
  for (int y = top - 25; y < top; ++y) ASSERT_EQ(r.plot(300, y), rgb(kRed)) << y;
  EXPECT_NE(r.plot(300, top - 26), rgb(kRed));
  EXPECT_NE(r.plot(300, top), rgb(kRed));  // the trace's own pixel stays

  r.s.Display.Cursor = 0;
  PaintBox1Paint(r.s);
  for (int y = top - 25; y < top; ++y) ASSERT_NE(r.plot(0, y), rgb(kRed));
}

TEST(PlotPixels, RoiShadingFillsItsColumnsUpToTheTrace) {
  RenderRig r;
  r.spectrum(4096, [](int) { return 1000; });
  r.view(0, 511);
  RoiEntry& roi = r.s.Rois.Entries[0];
  roi.LowChannel = 100;
  roi.HighChannel = 110;
  roi.Colour = kBlue;
  roi.Shown = 1;
  PaintBox1Paint(r.s);
  const int top = countRow(1000, true, 2, kPlotHeight);
  const QRgb blue = rgb(kBlue);
  for (int x = 100; x < 110; ++x) {
    EXPECT_EQ(r.plot(x, kPlotHeight - 1), blue) << x;
    EXPECT_EQ(r.plot(x, top + 1), blue) << x;
  }
  EXPECT_NE(r.plot(99, kPlotHeight - 1), blue);
  EXPECT_NE(r.plot(110, kPlotHeight - 1), blue);  // the high channel is not shaded
}

// A long comment stops short of the real-time value at its right; so does
// a long name before the preset value.
TEST(PlotPixels, TheCommentAndNameAreClippedBeforeTheTimeValues) {
  RenderRig r;
  r.spectrum(4096, [](int) { return 0; });
  r.s.Acquisition.PresetTime = 99999;
  r.s.Acquisition.RealTime = 12345;
  r.s.Working.Header.setComment(std::string(40, 'W'));
  r.s.Working.setName(std::string(40, 'M'));
  PaintBox1Paint(r.s);
  for (const int top : {5, 18}) {
    int leftmostValue = 512, rightmostText = -1;
    for (int y = top; y < top + 13; ++y)
      for (int x = 40; x < 178; ++x) {
        if (r.plot(x, y) == rgb(kAqua)) leftmostValue = std::min(leftmostValue, x);
        if (r.plot(x, y) == rgb(r.s.Display.CaptionColour)) rightmostText = std::max(rightmostText, x);
      }
    ASSERT_LT(leftmostValue, 175) << top;
    EXPECT_GT(rightmostText, 60) << top;  // the text is drawn, up to its clip
    EXPECT_LT(rightmostText, leftmostValue) << top;
  }
}

TEST(PlotPixels, ThePaintBoxHoldsTheThreePicturesInTheirPlaces) {
  RenderRig r;
  PaintBox1Paint(r.s);
  const QImage& box = r.renderer.paintBox();
  ASSERT_EQ(box.size(), QSize(kPaintBoxWidth, kPaintBoxHeight));
  EXPECT_EQ(box.pixel(16 + 5, 5 + 259), rgb(0x000080));    // a grid row of PlotImage
  EXPECT_EQ(box.pixel(16 + 300, 317 + 1), rgb(0));         // the axis strip's black top rows
  EXPECT_EQ(box.pixel(0, kScaleStripHeight - 1), rgb(0));  // the scale strip's e0 line
}

TEST(PixelPen, LinesFarOutsideThePictureAreClippedNotWalked) {
  QImage image(8, 8, QImage::Format_RGB32);
  image.fill(0xFF000000);
  PixelPen pen(image);
  pen.setColour(0xFFFFFFFF);
  pen.moveTo(3, 7);
  pen.lineTo(4, -2'000'000'000);
  int set = 0;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) set += image.pixel(x, y) == 0xFFFFFFFF;
  EXPECT_EQ(set, 8);
  EXPECT_EQ(image.pixel(3, 7), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace tolvane
