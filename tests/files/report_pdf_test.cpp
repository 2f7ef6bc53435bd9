// The report as a PDF, rendered back to pixels, and the hard copy's colours.
#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QImage>
#include <QLocale>
#include <QTimeZone>
#include <cstdlib>

#include "display/plot_renderer.h"
#include "files/report_renderer.h"
#include "handlers/view_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

bool dark(QRgb p) { return qRed(p) < 100 && qGreen(p) < 100 && qBlue(p) < 100; }

TEST(ReportPdf, TheFrameLandsWhereTheGeometrySays) {
  testing::SimRig rig(0);
  testing::TempDir dir;
  Session& s = *rig.session;
  testing::fillSpectrum(s, 1024, [](int c) { return c; });
  testing::setView(s, 0, 1023);
  const std::string pdf = dir.path("r.pdf");
  ASSERT_TRUE(writeReportPdf(s, QString::fromStdString(pdf)));
  // 4800 x 6600 pixels at 600 dpi, rendered at 60 dpi: one tenth.
  const std::string command = "pdftoppm -r 60 -png -singlefile " + pdf + " " + dir.path("page") + " 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << "pdftoppm (poppler-utils) is needed";
  const QImage page(QString::fromStdString(dir.path("page.png")));
  ASSERT_EQ(page.size(), QSize(480, 660));
  // Frame from (336, 660) to (4416, 6270) in page pixels.
  int leftEdge = 0, topEdge = 0, rightEdge = 0;
  for (int y = 80; y < 620; y += 10) leftEdge += dark(page.pixel(33, y)) || dark(page.pixel(34, y));
  for (int x = 50; x < 430; x += 10) topEdge += dark(page.pixel(x, 66)) || dark(page.pixel(x, 65));
  for (int y = 80; y < 620; y += 10) rightEdge += dark(page.pixel(441, y)) || dark(page.pixel(442, y));
  EXPECT_GE(leftEdge, 50);
  EXPECT_GE(topEdge, 36);
  EXPECT_GE(rightEdge, 50);
  EXPECT_FALSE(dark(page.pixel(240, 20)));  // above the labels: blank paper
}

TEST(ReportStamp, TheTimeCarriesNoZoneInAnyLocale) {
  const QDateTime when(QDate(2026, 12, 7), QTime(10, 34, 20), Qt::UTC);
  const QLocale saved;
  for (const QLocale& locale :
       {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::German, QLocale::Germany),
        QLocale(QLocale::Japanese, QLocale::Japan)}) {
    QLocale::setDefault(locale);
    const auto [date, time] = reportStamp(when);
    const QString shown = QString::fromStdString(time);
    EXPECT_TRUE(shown.contains("34") && shown.contains("20")) << time;
    for (const char* zone : {"UTC", "GMT", "Coordinated", "+00", "Z"}) EXPECT_FALSE(shown.contains(zone)) << time;
    EXPECT_EQ(shown, shown.trimmed());
    EXPECT_FALSE(date.empty());
  }
  QLocale::setDefault(saved);
}

TEST(ReportStamp, TextHeightIsTheCharacterCellNotTheEm) {
  for (int height : {12, 48, 72, 120}) {
    const QFont font = reportFont(height);
    const QFontMetricsF metrics(font);
    EXPECT_LE(metrics.height(), height) << height;
    EXPECT_GT(metrics.height(), height * 0.85) << height;  // as large as the cell allows
  }
}

TEST(HardCopy, ColoursSwapForPrintingAndComeBack) {
  testing::SimRig rig(0);
  Session& s = *rig.session;
  PlotRenderer renderer(QColor(200, 200, 200));
  s.Painter = &renderer;
  InitialiseState(s);
  SetHardCopyColours(s, true);
  EXPECT_EQ(s.Display.TextBackColour, kWhite);
  EXPECT_EQ(s.Display.CaptionColour, kBlack);
  EXPECT_EQ(renderer.PlotBackground.pixel(300, 200), qRgb(255, 255, 255));
  EXPECT_EQ(renderer.ChannelAxisTemplate.pixel(10, 1), qRgb(255, 255, 255));
  SetHardCopyColours(s, false);
  EXPECT_EQ(s.Display.TextBackColour, kBlack);
  EXPECT_EQ(s.Display.CaptionColour, kWhite);
  EXPECT_EQ(renderer.PlotBackground.pixel(300, 200), qRgb(0, 0, 0));
  EXPECT_EQ(renderer.ChannelAxisTemplate.pixel(10, 1), qRgb(0, 0, 0));
  s.Painter = nullptr;
}

}  // namespace
}  // namespace tolvane
