// A calibration from named lines: the names, the peaks found for them from
// a starting calibration that is off, and the calibration they give.
#include "lines/calibration_lines.h"

#include <gtest/gtest.h>

#include "lines/synthetic_spectrum.h"

namespace tolvane {
namespace {

TEST(CalibrationLines, NamesTakeLatinOrGreekLettersInAnyCase) {
  const KnownLineList list = parseKnownLines("Mn Ka, cu kα; Zr La ,Fe Kb1");
  ASSERT_TRUE(list.error.empty()) << list.error;
  ASSERT_EQ(list.lines.size(), 4u);
  EXPECT_EQ(list.lines[0].label, "Mn Kα");
  EXPECT_EQ(list.lines[1].label, "Cu Kα");
  EXPECT_EQ(list.lines[2].label, "Zr Lα");
  EXPECT_EQ(list.lines[3].label, "Fe Kβ1");
  // Kα1 and Kα2 merge: their mean, weighted about 2 : 1, lies between them
  // and nearer K-alpha1 (5.8988 and 5.8877 keV).
  EXPECT_GT(list.lines[0].energyKev, 5.893);
  EXPECT_LT(list.lines[0].energyKev, 5.897);
  EXPECT_NEAR(list.lines[3].energyKev, 7.058, 0.002);  // one line, as it is
}

TEST(CalibrationLines, AnItemThatNamesNoLineStopsTheListWithItsReason) {
  EXPECT_NE(parseKnownLines("Mn Ka, Xq Ka").error.find("'Xq' is no element"), std::string::npos);
  EXPECT_NE(parseKnownLines("Mn Ka, Cu Qa").error.find("'Qa' is no line name"), std::string::npos);
  EXPECT_NE(parseKnownLines("Mn").error.find("give an element and a line"), std::string::npos);
  EXPECT_NE(parseKnownLines("C La").error.find("C has no Lα"), std::string::npos);
  EXPECT_TRUE(parseKnownLines(" , Mn Ka,, ").error.empty());
}

struct Spectrum {
  // Al, Ti, Mn, Cu and Zr on a continuum, 10 eV per channel from -20 eV.
  Spectrum() : synthetic(4096, {0.01, -0.02}) {
    for (const int z : {13, 22, 25, 29, 40}) synthetic.addElement(z, 40000.0, 30.0);
    synthetic.addContinuum(30.0);
    counts = synthetic.draw(7);
  }
  test::SyntheticSpectrum synthetic;
  std::vector<int32_t> counts;
};

TEST(CalibrationLines, LinesFoundFromAStartOffByAPercentGiveTheTrueScale) {
  const Spectrum s;
  const KnownLineList list = parseKnownLines("Al Ka, Ti Ka, Mn Ka, Cu Ka, Zr Ka");
  ASSERT_TRUE(list.error.empty());
  // The start: gain 1 % high, offset 40 eV high, so Cu K-alpha is looked
  // for 120 eV from where it is.
  const EnergyScale start{0.0101, 0.02};
  const LinesCalibration r = calibrateFromLines(s.counts.data(), 4096, start, list.lines, false);
  ASSERT_EQ(r.outcome, LinesCalibration::Outcome::Fitted);
  for (const LineCentroid& c : r.centroids) EXPECT_TRUE(c.found) << c.line.label;
  EXPECT_NEAR(r.fit.energy(600.0), s.synthetic.scale().energy(600.0), 0.003);
  EXPECT_NEAR(r.fit.gain, 0.01, 2e-6);
  EXPECT_EQ(r.fit.flaggedCount(), 0);
  EXPECT_LT(r.fit.rmsEv, 5.0);
}

TEST(CalibrationLines, ALineTakenForItsNeighbourIsFlagged) {
  const Spectrum s;
  // No chromium: its K-beta (5.947 keV) is matched with the Mn K-alpha peak
  // 52 eV below it.
  const KnownLineList list = parseKnownLines("Al Ka, Ti Ka, Cr Kb, Cu Ka, Zr Ka, Ti Kb");
  ASSERT_TRUE(list.error.empty());
  const LinesCalibration r = calibrateFromLines(s.counts.data(), 4096, {0.01, -0.02}, list.lines, false);
  ASSERT_EQ(r.outcome, LinesCalibration::Outcome::Fitted);
  ASSERT_TRUE(r.fit.judged);
  for (const FittedPoint& p : r.fit.points) EXPECT_EQ(p.flagged, p.point.label == "Cr Kβ") << p.point.label;
}

TEST(CalibrationLines, ALineWithNoPeakIsLeftOutAndSaidSo) {
  const Spectrum s;
  const KnownLineList list = parseKnownLines("Ti Ka, Mn Ka, Cu Ka, Sn Ka");  // no tin
  const LinesCalibration r = calibrateFromLines(s.counts.data(), 4096, {0.01, -0.02}, list.lines, false);
  ASSERT_EQ(r.outcome, LinesCalibration::Outcome::Fitted);
  EXPECT_FALSE(r.centroids[3].found);
  EXPECT_EQ(r.fit.points.size(), 3u);
}

TEST(CalibrationLines, RefusalsWithoutAStartOrPeaks) {
  const Spectrum s;
  const KnownLineList list = parseKnownLines("Ti Ka, Mn Ka, Cu Ka");
  EXPECT_EQ(calibrateFromLines(s.counts.data(), 4096, {}, list.lines, false).outcome,
            LinesCalibration::Outcome::NoStartingCalibration);
  const std::vector<int32_t> empty(4096, 0);
  EXPECT_EQ(calibrateFromLines(empty.data(), 4096, {0.01, 0.0}, list.lines, false).outcome,
            LinesCalibration::Outcome::EmptySpectrum);
  // Only one of the lines is in the spectrum.
  const KnownLineList absent = parseKnownLines("Ti Ka, Sn Ka, Ba Ka");
  EXPECT_EQ(calibrateFromLines(s.counts.data(), 4096, {0.01, -0.02}, absent.lines, false).outcome,
            LinesCalibration::Outcome::TooFewFound);
}

}  // namespace
}  // namespace tolvane
