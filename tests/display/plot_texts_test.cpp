// What the pictures say where little is known: UTF-8 file names drawn as
// their characters, a long comment cut before the real-time readout,
// readouts left empty when no figure stands behind them, line markers that
// follow the log axis, and a report that neither invents a date nor calls
// channels energy.
#include <gtest/gtest.h>

#include <QFont>
#include <QImage>
#include <algorithm>

#include "display/glyph_atlas_renderer.h"
#include "display/pixel_pen_renderer.h"
#include "display/plot_renderer.h"
#include "files/report_layout.h"
#include "handlers/plot_handlers.h"
#include "lines/line_markers.h"
#include "test_support.h"

namespace tolvane {
namespace {

int inkPixels(const QImage& image, QRgb colour, int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) n += image.pixel(x, y) == colour;
  return n;
}

QImage drawn(const GlyphAtlas& atlas, std::string_view text) {
  QImage image(120, 30, QImage::Format_RGB32);
  image.fill(Qt::black);
  PixelPen pen(image);
  pen.setColour(0xFFFFFFFF);
  atlas.draw(pen, 2, 2, text);
  return image;
}

TEST(PlotTexts, AUtf8NameIsDrawnAsItsCharactersAndSingleBytesStayLatin1) {
  const GlyphAtlas atlas(QFont("DejaVu Sans", 9));
  const std::string utf8 = "caf\xC3\xA9.dat", latin1 = "caf\xE9.dat";
  EXPECT_EQ(atlas.width(utf8), atlas.width(latin1));
  EXPECT_NE(atlas.width(utf8), atlas.width("caf\xC3") + atlas.width("\xA9.dat"));  // not "cafÃ©"
  EXPECT_EQ(drawn(atlas, utf8), drawn(atlas, latin1));
  // Beyond Latin-1: one glyph, with ink, not three byte glyphs.
  const std::string omega = "\xCE\xA9";
  EXPECT_GT(atlas.width(omega), 0);
  EXPECT_LT(atlas.width(omega), atlas.width("\xCE") + atlas.width("\xA9"));
  EXPECT_GT(inkPixels(drawn(atlas, omega), 0xFFFFFFFF, 0, 0, 120, 30), 0);
  // A text cut at a column draws nothing that reaches past it.
  QImage cut(200, 30, QImage::Format_RGB32);
  cut.fill(Qt::black);
  PixelPen pen(cut);
  pen.setColour(0xFFFFFFFF);
  atlas.draw(pen, 0, 2, "WWWWWWWWWWWWWWWWWWWW", 60);
  EXPECT_EQ(inkPixels(cut, 0xFFFFFFFF, 61, 0, 200, 30), 0);
  EXPECT_GT(inkPixels(cut, 0xFFFFFFFF, 0, 0, 60, 30), 0);
}

struct PaintRig {
  PaintRig() : renderer(QColor::fromRgb(0xFFD4D0C8)) {
    s.Painter = &renderer;
    InitialiseState(s);
    testing::fillSpectrum(s, 1024, [](int) { return 10; });
  }
  testing::SimRig rig{0};
  Session& s = *rig.session;
  PlotRenderer renderer;
};

TEST(PlotTexts, ALongCommentStopsBeforeTheRealTimeReadout) {
  PaintRig r;
  r.s.Acquisition.RealTime = 123456;  // "12345.6"
  r.s.Working.Header.setComment(std::string(31, 'W'));
  PaintBox1Paint(r.s);
  const QImage& box = r.renderer.paintBox();
  const QRgb caption = toQRgb(r.s.Display.CaptionColour), aqua = toQRgb(kAqua);
  // The readout's first digit, then: between it and the caption "sec.RT" at
  // x = 180 the comment's rows hold no caption-coloured pixel.
  int firstDigit = 176;
  for (int x = 175; x > 60; --x)
    if (inkPixels(box, aqua, x, 18, x + 1, 31) > 0) firstDigit = x;
  ASSERT_LT(firstDigit, 150);
  EXPECT_EQ(inkPixels(box, caption, firstDigit - 1, 18, 178, 31), 0);
  EXPECT_GT(inkPixels(box, caption, 50, 18, 90, 31), 0);  // the comment's start is drawn
}

TEST(PlotTexts, ReadoutsWithoutFiguresStayEmpty) {
  PaintRig r;
  const auto at = [&](int x, int y) {
    const auto& t = r.s.Plot.Readouts;
    return std::any_of(t.begin(), t.end(), [&](const PlotText& p) { return p.x == x && p.y == y; });
  };
  PaintBox1Paint(r.s);
  EXPECT_TRUE(at(375, 5) && at(375, 18) && at(275, 5));  // the window: an idle analyser shows its figures
  r.s.Display.RatesKnown = false;
  r.s.Display.DeadTimeKnown = false;
  PaintBox1Paint(r.s);
  EXPECT_FALSE(at(375, 5));   // kcps
  EXPECT_FALSE(at(375, 18));  // kcts
  EXPECT_FALSE(at(275, 5));   // DT %
  EXPECT_TRUE(at(175, 18) && at(275, 18));  // the file's real and live times stay
}

TEST(PlotTexts, MarkersFollowTheLogAxisByDecades) {
  const int32_t h = kPlotHeight;
  // Six decades over the plot: a tenth as strong stands h / 6 rows lower.
  EXPECT_EQ(markerHeight(1.0, h, true), markerHeight(1.0, h, false));
  EXPECT_NEAR(markerHeight(1.0, h, true) - markerHeight(0.1, h, true), h / 6.0, 1.0);
  EXPECT_NEAR(markerHeight(1.0, h, true) - markerHeight(0.01, h, true), h / 3.0, 1.0);
  // Mn K-beta (about 13 % of K-alpha) stands well above the bottom rows.
  EXPECT_GT(markerHeight(0.13, h, true), h / 3);
  EXPECT_LT(markerHeight(0.13, h, false), h / 10);
  EXPECT_EQ(markerHeight(1e-9, h, true), 6);  // the faintest still shows
  EXPECT_EQ(markerHeight(0.0, h, true), 6);
}

// The columns a label may take: seven per character, as the placement
// reserves.
int labelColumns(const std::string& utf8) {
  return 7 * static_cast<int>(std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

TEST(PlotTexts, ManyLineLabelsNeverPileUp) {
  // Eight neighbouring elements over 0 .. 20 keV: far more labels than the
  // low-energy columns have room for.
  const std::vector<MarkedLine> lines = markedLines({22, 23, 24, 25, 26, 27, 28, 29}, kDefaultMaxKev);
  for (const bool log : {true, false}) {
    const std::vector<LineMarker> m = placeMarkers(lines, {0.01, 0.0}, {0, 4, 0, 512, kPlotHeight, log});
    std::vector<const LineMarker*> labelled;
    for (const LineMarker& x : m)
      if (!x.label.empty()) labelled.push_back(&x);
    ASSERT_GT(labelled.size(), 8u);
    for (size_t i = 0; i < labelled.size(); ++i) {
      EXPECT_GE(labelled[i]->labelY, 26) << labelled[i]->label;  // below the readouts
      EXPECT_LE(labelled[i]->labelY, kPlotHeight - 13) << labelled[i]->label;
      for (size_t j = 0; j < i; ++j) {
        const bool sameRow = std::abs(labelled[i]->labelY - labelled[j]->labelY) < 13;
        const LineMarker &a = *labelled[i], &b = *labelled[j];
        const bool near = a.labelX < b.labelX + labelColumns(b.label) && b.labelX < a.labelX + labelColumns(a.label);
        EXPECT_FALSE(sameRow && near) << labelled[i]->label << " / " << labelled[j]->label;
      }
    }
  }
}

bool reportHas(const ReportModel& m, const std::string& text) {
  return std::any_of(m.texts.begin(), m.texts.end(), [&](const ReportText& t) { return t.text == text; });
}

TEST(PlotTexts, TheReportNeitherInventsADateNorCallsChannelsEnergy) {
  testing::SimRig rig(0);
  Session& s = *rig.session;
  testing::fillSpectrum(s, 1024, [](int) { return 10; });
  testing::setView(s, 0, 1023);
  const ReportModel bare = buildReport(s, 4800, 6600, "d", "t");
  EXPECT_TRUE(reportHas(bare, "unknown"));
  EXPECT_FALSE(std::any_of(bare.texts.begin(), bare.texts.end(),
                           [](const ReportText& t) { return t.text.find(" 0 / 0") != std::string::npos; }));
  EXPECT_TRUE(reportHas(bare, "C h a n n e l"));
  EXPECT_FALSE(reportHas(bare, "E n e r g y  [  C h a n n e l  ]"));

  s.Working.Header.setStartTime({2024, 3, 9, 14, 5, 7});
  s.Calibration.Valid = true;
  s.Calibration.Gain = 0.01f;
  const ReportModel dated = buildReport(s, 4800, 6600, "d", "t");
  EXPECT_TRUE(reportHas(dated, "2024 / 3 / 9  14 : 5 : 7"));
  EXPECT_TRUE(reportHas(dated, "E n e r g y  [  C h a n n e l  ]"));
}

}  // namespace
}  // namespace tolvane
