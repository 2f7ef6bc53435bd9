// The report as a PDF, rendered back to pixels, and the hard copy's colours.
#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QImage>
#include <QLocale>
#include <QTimeZone>
#include <cstdlib>

#include "display/plot_renderer.h"
#include "files/report_layout.h"
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

// The stamp's caption, date and time, measured with the report font, do
// not run into each other, nor the time into the caption beside them.
TEST(ReportStamp, CaptionDateAndTimeDoNotRunTogether) {
  testing::SimRig rig(0);
  Session& s = *rig.session;
  testing::fillSpectrum(s, 1024, [](int c) { return c; });
  testing::setView(s, 0, 1023);
  const QLocale saved;
  for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedKingdom),
                                QLocale(QLocale::French, QLocale::France), QLocale(QLocale::Japanese, QLocale::Japan)}) {
    QLocale::setDefault(locale);
    for (int month = 1; month <= 12; ++month) {
      const auto [date, time] = reportStamp(QDateTime(QDate(2026, month, 28), QTime(23, 58, 58)));
      for (const auto& [pw, ph] : {std::pair{4800, 6600}, std::pair{4960, 7016}, std::pair{2550, 3300}}) {
        const ReportModel m = buildReport(s, pw, ph, date, time);
        const auto span = [&](const std::string& text) {
          for (const ReportText& t : m.texts)
            if (t.text == text && t.turned) {
              const QFontMetricsF metrics(reportFont(t.height));
              return std::pair{double(t.at.y), t.at.y + metrics.horizontalAdvance(QString::fromStdString(text))};
            }
          ADD_FAILURE() << "no text " << text;
          return std::pair{0.0, 0.0};
        };
        const auto caption = span("Reporting Date: "), day = span(date), clock = span(time);
        const auto company = span("V Q R N [  V e l q u a r i o n  C o . ,]");
        const std::string what = locale.name().toStdString() + " " + date + " " + time;
        EXPECT_LT(caption.second, day.first) << what;
        EXPECT_LT(day.second + m.g.FH / 4, clock.first) << what;
        EXPECT_LT(clock.second, company.first) << what;
      }
    }
  }
  QLocale::setDefault(saved);
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
