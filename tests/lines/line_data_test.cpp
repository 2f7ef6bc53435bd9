#include "lines/line_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "lines/detector_resolution.h"
#include "lines/line_candidates.h"
#include "lines/spectrum_lines.h"

namespace tolvane {
namespace {

const XrayLine* find(const std::vector<XrayLine>& lines, const std::string& name) {
  const auto it = std::find_if(lines.begin(), lines.end(), [&](const XrayLine& l) { return l.name == name; });
  return it == lines.end() ? nullptr : &*it;
}

TEST(LineData, EnergiesAgreeWithTabulatedValuesWithinTwoEv) {
  const struct {
    const char* element;
    const char* line;
    double kev;
  } known[] = {{"Mn", "Kα1", 5.8987},
               {"Fe", "Kα1", 6.4038},
               {"Cu", "Kα1", 8.0478},
               {"Pb", "Lα1", 10.5515},
               {"Au", "Mα1", 2.1229}};
  for (const auto& k : known) {
    const ElementLines e = emissionLines(*parseElement(k.element));
    ASSERT_FALSE(e.error) << k.element;
    const XrayLine* line = find(e.lines, k.line);
    ASSERT_NE(line, nullptr) << k.element << " " << k.line;
    EXPECT_NEAR(line->energyKev, k.kev, 0.002) << k.element << " " << k.line;
  }
}

TEST(LineData, RelativeIntensitiesAreWithinTheFamily) {
  const ElementLines fe = emissionLines(26);
  const XrayLine* a1 = find(fe.lines, "Kα1");
  const XrayLine* a2 = find(fe.lines, "Kα2");
  const XrayLine* b1 = find(fe.lines, "Kβ1");
  ASSERT_TRUE(a1 && a2 && b1);
  EXPECT_DOUBLE_EQ(a1->relative, 1.0);
  EXPECT_NEAR(a2->relative, 0.51, 0.03);
  EXPECT_NEAR(b1->relative, 0.135, 0.03);
  // Every family has exactly one strongest line and nothing above it.
  for (LineFamily f : {LineFamily::K, LineFamily::L, LineFamily::M}) {
    int strongest = 0;
    for (const XrayLine& l : fe.lines)
      if (l.family == f) {
        EXPECT_LE(l.relative, 1.0);
        EXPECT_GT(l.relative, 0.0);
        strongest += l.relative == 1.0;
      }
    EXPECT_LE(strongest, 1);
  }
}

TEST(LineData, FamiliesAboveTheExcitationAreLeftOut) {
  const auto hasFamily = [](const ElementLines& e, LineFamily f) {
    return std::any_of(e.lines.begin(), e.lines.end(), [&](const XrayLine& l) { return l.family == f; });
  };
  const ElementLines pb = emissionLines(82);  // K edge 88 keV, L3 edge 13 keV
  EXPECT_FALSE(hasFamily(pb, LineFamily::K));
  EXPECT_TRUE(hasFamily(pb, LineFamily::L));
  EXPECT_TRUE(hasFamily(pb, LineFamily::M));
  EXPECT_TRUE(hasFamily(emissionLines(82, 100.0), LineFamily::K));
  // Between the L3 and L2 edges only the L3 lines are excited.
  const ElementLines pb14 = emissionLines(82, 14.0);
  EXPECT_NE(find(pb14.lines, "Lα1"), nullptr);
  EXPECT_EQ(find(pb14.lines, "Lβ1"), nullptr);
  EXPECT_FALSE(hasFamily(emissionLines(42, 19.0), LineFamily::K));  // Mo K edge 20.0 keV
  EXPECT_TRUE(hasFamily(emissionLines(42, 20.5), LineFamily::K));
}

TEST(LineData, LibraryFailuresAreOutcomes) {
  EXPECT_EQ(emissionLines(3).error, LinesError::ElementOutOfRange);
  EXPECT_EQ(emissionLines(96).error, LinesError::ElementOutOfRange);
  EXPECT_EQ(emissionLines(4).error, LinesError::NoLines);  // Be: below the tables' lines
  EXPECT_EQ(emissionLines(26, 0.1).error, LinesError::NoLines);
  EXPECT_EQ(parseElement("Fe"), 26);
  EXPECT_EQ(parseElement(" fe "), 26);
  // Labels typed in capitals, as ROI and standard labels often are.
  EXPECT_EQ(parseElement("FE"), 26);
  EXPECT_EQ(parseElement("CU"), 29);
  EXPECT_EQ(parseElement("cU"), 29);
  EXPECT_EQ(parseElementList("FE, CU;MN"), (std::vector<int>{26, 29, 25}));
  EXPECT_EQ(parseElement("26"), 26);
  EXPECT_EQ(parseElement("Am"), 95);
  for (const char* bad : {"Xx", "H", "3", "96", "Fee", "", "26x", "-26"}) EXPECT_FALSE(parseElement(bad)) << bad;
  EXPECT_EQ(elementSymbol(79), "Au");
}

TEST(LineData, EscapeAndSumPeaksOfTheStrongestLines) {
  const ElementLines mn = emissionLines(25);
  const std::vector<XrayLine> detector = detectorLines(mn.lines);
  const XrayLine* escape = find(detector, "Kα1 esc");
  const XrayLine* twice = find(detector, "2Kα");
  const XrayLine* mixed = find(detector, "Kα+Kβ");
  ASSERT_TRUE(escape && twice && mixed);
  EXPECT_NEAR(escape->energyKev, 5.8987 - 1.740, 0.002);
  EXPECT_EQ(escape->kind, LineKind::Escape);
  // A Si detector loses a fraction of a percent of Mn K-alpha to escape.
  EXPECT_GT(escape->relative, 0.001);
  EXPECT_LT(escape->relative, 0.03);
  EXPECT_NEAR(twice->energyKev, 2 * 5.8987, 0.004);
  EXPECT_EQ(twice->kind, LineKind::Sum);
  EXPECT_GT(siEscapeFraction(2.0), siEscapeFraction(10.0));  // soft photons stop near the face
  EXPECT_EQ(siEscapeFraction(1.7), 0.0);
  // Al K-alpha is below the Si edge: no escape peak.
  EXPECT_EQ(find(detectorLines(emissionLines(13).lines), "Kα1 esc"), nullptr);
}

TEST(DetectorResolution, FanoLawThroughTheReferenceWidth) {
  const DetectorResolution standard;
  EXPECT_NEAR(standard.fwhmKev(5.899), 0.145, 1e-9);
  EXPECT_GT(standard.fwhmKev(10.0), standard.fwhmKev(5.9));
  EXPECT_NEAR(standard.fwhmKev(1.49), 0.101, 0.003);  // Al K-alpha
  const DetectorResolution measured(0.130, 5.899);
  EXPECT_NEAR(measured.fwhmKev(5.899), 0.130, 1e-9);
  // A width below the Fano limit keeps the Fano term alone.
  EXPECT_NEAR(DetectorResolution(0.01, 5.899).fwhmKev(5.899), 0.1204, 0.001);
  EXPECT_NEAR(DetectorResolution(-1.0, 0.0).fwhmKev(5.899), 0.145, 1e-9);
}

TEST(LineCandidates, RankedByClosenessAndIntensityOnePerGroup) {
  const std::vector<XrayLine> pool = identificationPool(kDefaultMaxKev, {});
  const std::vector<LineCandidate> c = candidatesNear(5.90, 0.145, pool);
  ASSERT_GE(c.size(), 2u);
  EXPECT_EQ(c[0].line.element, "Mn");
  EXPECT_EQ(c[0].line.group, "Kα");
  const auto crBeta = std::find_if(
      c.begin(), c.end(), [](const LineCandidate& x) { return x.line.element == "Cr" && x.line.group == "Kβ"; });
  EXPECT_NE(crBeta, c.end());
  for (size_t i = 0; i < c.size(); ++i) {
    EXPECT_LE(std::fabs(c[i].distanceKev), 0.145);
    if (i > 0) {
      EXPECT_GE(c[i - 1].score, c[i].score);
    }
    for (size_t j = 0; j < i; ++j)
      EXPECT_FALSE(c[i].line.z == c[j].line.z && c[i].line.group == c[j].line.group) << "duplicate group";
  }
  // One FWHM, not one standard deviation (0.062 keV here): Mn K-alpha1
  // 0.1 keV off is a candidate, 0.16 keV off is not.
  const auto hasMnAlpha = [](const std::vector<LineCandidate>& list) {
    return std::any_of(list.begin(), list.end(),
                       [](const LineCandidate& x) { return x.line.element == "Mn" && x.line.group == "Kα"; });
  };
  EXPECT_TRUE(hasMnAlpha(candidatesNear(5.8987 + 0.1, 0.145, pool)));
  EXPECT_TRUE(hasMnAlpha(candidatesNear(5.8987 - 0.1, 0.145, pool)));
  EXPECT_FALSE(hasMnAlpha(candidatesNear(5.8987 + 0.16, 0.145, pool)));
  // Escape peaks come only with the elements believed present.
  const auto escapeOf = [](const std::vector<LineCandidate>& list) {
    return std::any_of(list.begin(), list.end(),
                       [](const LineCandidate& x) { return x.line.kind == LineKind::Escape; });
  };
  EXPECT_FALSE(escapeOf(candidatesNear(4.159, 0.12, pool)));
  EXPECT_TRUE(escapeOf(candidatesNear(4.159, 0.12, identificationPool(kDefaultMaxKev, {25}), 0.0)));
}

}  // namespace
}  // namespace tolvane
