#include "lines/line_markers.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "files/report_layout.h"
#include "handlers/lines_handlers.h"
#include "handlers/plot_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

struct LinesRig {
  LinesRig() {
    testing::fillSpectrum(s, 4096, [](int c) { return c >= 585 && c <= 595 ? 1000 : 10; });
    s.Calibration.Valid = 1;
    s.Calibration.Gain = 0.01f;
    s.Calibration.Offset = 0.0f;
  }
  const LineMarker* marker(const std::string& label) const {
    const auto& m = s.Plot.LineMarkers;
    const auto it = std::find_if(m.begin(), m.end(), [&](const LineMarker& x) { return x.label == label; });
    return it == m.end() ? nullptr : &*it;
  }
  testing::SimRig rig{0};
  Session& s = *rig.session;
};

TEST(LineMarkers, PlacedAtTheCalibratedChannelsOnePerGroupLabel) {
  LinesRig r;
  testing::setView(r.s, 512, 1023);  // one channel per column
  LinesTextChange(r.s, "Fe");
  LinesOnClick(r.s, true);
  const LineMarker* ka = r.marker("Fe Kα");
  const LineMarker* kb = r.marker("Fe Kβ");
  ASSERT_TRUE(ka && kb);
  EXPECT_EQ(ka->x, 640 - 512);  // 6.4039 keV at 10 eV per channel
  EXPECT_EQ(kb->x, 706 - 512);
  EXPECT_LT(ka->topRow, kb->topRow);  // Kα is the taller
  EXPECT_EQ(ka->colour, elementColour(0));
  EXPECT_FALSE(ka->dashed);
  // Kα2 has its own marker but shares the Kα label.
  const auto labels = std::count_if(r.s.Plot.LineMarkers.begin(), r.s.Plot.LineMarkers.end(),
                                    [](const LineMarker& m) { return m.label == "Fe Kα"; });
  EXPECT_EQ(labels, 1);
  EXPECT_EQ(r.marker("Fe Kα esc"), nullptr);  // 4.66 keV is left of the view
  testing::setView(r.s, 256, 767);
  PaintBox1Paint(r.s);
  const LineMarker* escape = r.marker("Fe Kα esc");
  ASSERT_NE(escape, nullptr);
  EXPECT_TRUE(escape->dashed);
  EXPECT_EQ(escape->x, 466 - 256);
  const LineMarker* sum = r.marker("Fe 2Kα");
  EXPECT_EQ(sum, nullptr);  // 12.8 keV, right of the view
}

TEST(LineMarkers, FollowTheViewAndLeaveOutLinesOutsideIt) {
  LinesRig r;
  LinesTextChange(r.s, "Mn Cu");
  LinesOnClick(r.s, true);
  testing::setView(r.s, 0, 4095);  // 8 channels per column
  PaintBox1Paint(r.s);
  ASSERT_NE(r.marker("Mn Kα"), nullptr);
  EXPECT_EQ(r.marker("Mn Kα")->x, 590 / 8);
  EXPECT_EQ(r.marker("Cu Kα")->colour, elementColour(1));
  testing::setView(r.s, 560, 687);  // 128 channels: 4 pixels each
  PaintBox1Paint(r.s);
  ASSERT_NE(r.marker("Mn Kα"), nullptr);
  EXPECT_EQ(r.marker("Mn Kα")->x, (590 - 560) * 4 + 2);
  EXPECT_EQ(r.marker("Cu Kα"), nullptr);  // 8.05 keV is outside
}

TEST(LineMarkers, OverlappingLabelsMoveUp) {
  const std::vector<MarkedLine> lines = markedLines({22, 23}, kDefaultMaxKev);  // Ti Kβ on V Kα
  const std::vector<LineMarker> m = placeMarkers(lines, {0.01, 0.0}, {0, -3, 4, 512, 312});
  std::vector<const LineMarker*> labelled;
  for (const LineMarker& x : m)
    if (!x.label.empty()) labelled.push_back(&x);
  for (size_t i = 0; i < labelled.size(); ++i)
    for (size_t j = 0; j < i; ++j) {
      const bool sameRow = std::abs(labelled[i]->labelY - labelled[j]->labelY) < 13;
      const bool near = std::abs(labelled[i]->labelX - labelled[j]->labelX) < 40;
      EXPECT_FALSE(sameRow && near) << labelled[i]->label << " / " << labelled[j]->label;
    }
}

TEST(LineMarkers, OffWithoutAValidCalibrationAndTheStatusSaysWhy) {
  LinesRig r;
  r.s.Calibration.Valid = 0;
  LinesTextChange(r.s, "Fe");
  LinesOnClick(r.s, true);
  EXPECT_TRUE(r.s.Plot.LineMarkers.empty());
  EXPECT_EQ(r.s.Texts.Edit1, "Lines off: no energy calibration");
  r.s.Calibration.Valid = 1;
  r.s.Calibration.Gain = -0.01f;
  LinesOnClick(r.s, true);
  EXPECT_TRUE(r.s.Plot.LineMarkers.empty());
  EXPECT_EQ(r.s.Texts.Edit1, "Lines off: calibration gain not positive");
  LinesTextChange(r.s, "Fe Qq");
  EXPECT_EQ(r.s.Texts.Edit1, "Lines: unknown element Qq");
  // A calibration in eV places the same lines.
  r.s.Calibration.Gain = 10.0f;
  std::copy_n("eV", 3, r.s.Calibration.UnitText.begin());
  LinesTextChange(r.s, "Fe");
  testing::setView(r.s, 512, 1023);
  PaintBox1Paint(r.s);
  ASSERT_NE(r.marker("Fe Kα"), nullptr);
  EXPECT_EQ(r.marker("Fe Kα")->x, 640 - 512);
  LinesOnClick(r.s, false);
  EXPECT_TRUE(r.s.Plot.LineMarkers.empty());
}

TEST(LinesHandlers, TheFieldsOwnMessageGoesOnceTheTextIsRightAndNoOtherMessage) {
  LinesRig r;
  LinesOnClick(r.s, true);
  for (const char* typed : {"F", "Fe M", "Fe Mn"}) LinesTextChange(r.s, typed);  // "M" is no element
  EXPECT_EQ(r.s.Texts.Edit1, "");
  LinesTextChange(r.s, "Fe Qq");
  EXPECT_EQ(r.s.Texts.Edit1, "Lines: unknown element Qq");
  r.s.Calibration.Valid = 0;
  LinesTextChange(r.s, "Fe");
  EXPECT_EQ(r.s.Texts.Edit1, "Lines off: no energy calibration");
  r.s.Calibration.Valid = 1;
  LinesTextChange(r.s, "Fe Mn");
  EXPECT_EQ(r.s.Texts.Edit1, "");
  // Another handler's text is left as it is.
  r.s.Texts.Edit1 = "File Write Error !";
  LinesTextChange(r.s, "Fe");
  LinesOnClick(r.s, false);
  EXPECT_EQ(r.s.Texts.Edit1, "File Write Error !");
}

TEST(LinesHandlers, IdentifyAtTheCursor) {
  LinesRig r;
  r.s.Display.Cursor = 590;
  IdentifyClick(r.s);
  EXPECT_EQ(r.s.Texts.Edit1.rfind("5.90 keV: Mn Kα (5.899)", 0), 0u) << r.s.Texts.Edit1;
  EXPECT_EQ(r.s.Lines.IdentifyDetails.rfind("Mn Kα1  5.8987 keV", 0), 0u) << r.s.Lines.IdentifyDetails;
  EXPECT_NE(r.s.Lines.IdentifyDetails.find("Cr Kβ1  5.9467 keV"), std::string::npos) << r.s.Lines.IdentifyDetails;
  r.s.Calibration.Valid = 0;
  IdentifyClick(r.s);
  EXPECT_EQ(r.s.Texts.Edit1, "Lines off: no energy calibration");
  EXPECT_TRUE(r.s.Lines.IdentifyDetails.empty());
}

TEST(LinesHandlers, MeasuredFwhmBecomesTheResolution) {
  LinesRig r;
  // A triangle 1000 high, 60 counts down per channel: 16.7 channels wide
  // at half height, 167 eV.
  testing::fillSpectrum(r.s, 4096, [](int c) { return std::max(10, 1000 - 60 * std::abs(c - 590)); });
  r.s.Display.Cursor = 590;
  NoteMeasuredFwhm(r.s);
  ASSERT_TRUE(r.s.Lines.MeasuredFwhmKev);
  EXPECT_NEAR(*r.s.Lines.MeasuredFwhmKev, 0.167, 0.01);
  EXPECT_NEAR(r.s.Lines.MeasuredAtKev, 5.90, 0.01);
  EXPECT_NEAR(r.s.Lines.resolution().fwhmKev(5.90), *r.s.Lines.MeasuredFwhmKev, 1e-6);
}

TEST(LinesHandlers, PeakSearchProposesAndFillsTheField) {
  LinesRig r;
  PeakSearchClick(r.s);
  ASSERT_FALSE(r.s.Lines.LastPeaks.error);
  ASSERT_FALSE(r.s.Lines.LastPeaks.identification.peaks.empty());
  EXPECT_EQ(r.s.Texts.Edit1.rfind(std::to_string(r.s.Lines.LastPeaks.identification.peaks.size()) + " peaks:", 0), 0u);
  UseProposedElements(r.s);
  EXPECT_TRUE(r.s.Lines.Shown);
  std::string expected;
  for (int z : r.s.Lines.LastPeaks.identification.elements)
    expected += (expected.empty() ? "" : " ") + elementSymbol(z);
  EXPECT_EQ(r.s.Lines.Elements, expected);
  testing::fillSpectrum(r.s, 4096, [](int) { return 0; });
  PeakSearchClick(r.s);
  EXPECT_EQ(r.s.Texts.Edit1, kLinesEmptySpectrumText);
}

TEST(LineMarkers, OnTheReportAcrossTheIntensityAxis) {
  LinesRig r;
  testing::setView(r.s, 0, 1023);
  const ReportModel without = buildReport(r.s, 4000, 6000, "d", "t");
  LinesTextChange(r.s, "Fe");
  LinesOnClick(r.s, true);
  const ReportModel with = buildReport(r.s, 4000, 6000, "d", "t");
  ASSERT_GT(with.lines.size(), without.lines.size());
  const ReportGeometry& g = with.g;
  const int32_t row = static_cast<int32_t>(g.Y0 + 640.39 * g.YH / 1024.0);
  const bool found = std::any_of(with.lines.begin(), with.lines.end(), [&](const ReportLine& l) {
    return l.colour == elementColour(0) && l.from.y == row && l.from.x == g.X0 && l.to.x > g.X0 + g.XW / 3;
  });
  EXPECT_TRUE(found);
  const bool labelled =
      std::any_of(with.texts.begin(), with.texts.end(), [](const ReportText& t) { return t.text == "Fe Kα"; });
  EXPECT_TRUE(labelled);
}

}  // namespace
}  // namespace tolvane
