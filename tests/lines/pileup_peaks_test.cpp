// Sum and escape peaks of a spectrum's strongest peaks against hand
// calculations of the pile-up model (2 tau rA rB T, tau rA^2 T).
#include "lines/pileup_peaks.h"

#include <gtest/gtest.h>

#include "app/session.h"
#include "display/plot_mapping.h"
#include "handlers/lines_handlers.h"
#include "lines/line_data.h"
#include "lines/plot_line_markers.h"
#include "test_support.h"

namespace tolvane {
namespace {

const ArtefactPeak* find(const std::vector<ArtefactPeak>& peaks, const std::string& label) {
  for (const ArtefactPeak& p : peaks)
    if (p.label == label) return &p;
  return nullptr;
}

TEST(PileupPeaks, SumPeaksFollowTheRatesAndTheResolvingTime) {
  // 1e6 Fe K-alpha and 5e5 Cu K-alpha counts in 100 s live time, 0.5 µs:
  // Fe+Fe 0.5e-6 x 1e12 / 100 = 5000; Fe+Cu 2 x 0.5e-6 x 5e11 / 100 = 5000;
  // Cu+Cu 0.5e-6 x 2.5e11 / 100 = 1250.
  const std::vector<ParentPeak> parents{{"Fe Kα", 6.40, 1e6}, {"Cu Kα", 8.04, 5e5}};
  const std::vector<ArtefactPeak> peaks = artefactPeaks(parents, 100.0, 40.0);
  const ArtefactPeak* fefe = find(peaks, "2×Fe Kα");
  const ArtefactPeak* fecu = find(peaks, "Fe Kα+Cu Kα");
  const ArtefactPeak* cucu = find(peaks, "2×Cu Kα");
  ASSERT_TRUE(fefe && fecu && cucu);
  EXPECT_NEAR(fefe->energyKev, 12.80, 1e-12);
  EXPECT_NEAR(fecu->energyKev, 14.44, 1e-12);
  EXPECT_NEAR(fefe->expectedCounts, 5000.0, 1e-6);
  EXPECT_NEAR(fecu->expectedCounts, 5000.0, 1e-6);
  EXPECT_NEAR(cucu->expectedCounts, 1250.0, 1e-6);
  // Four times the rate at the same live time, or the same counts in a
  // quarter of the time: sum peaks grow with the square of the rate.
  EXPECT_NEAR(find(artefactPeaks(parents, 25.0, 40.0), "2×Fe Kα")->expectedCounts, 20000.0, 1e-6);
  EXPECT_NEAR(find(artefactPeaks(parents, 100.0, 40.0, 1e-6), "2×Cu Kα")->expectedCounts, 2500.0, 1e-6);
  // Sorted by energy.
  for (size_t i = 1; i < peaks.size(); ++i) EXPECT_LE(peaks[i - 1].energyKev, peaks[i].energyKev);
}

TEST(PileupPeaks, EscapePeaksLie1740EvBelowWithTheSiliconFraction) {
  const std::vector<ArtefactPeak> peaks = artefactPeaks({{"Mn Kα", 5.895, 1e5}, {"Si Kα", 1.740, 1e5}}, 10.0, 20.0);
  const ArtefactPeak* esc = find(peaks, "Mn Kα esc");
  ASSERT_NE(esc, nullptr);
  EXPECT_NEAR(esc->energyKev, 4.155, 1e-12);
  // A fraction of a percent of Mn K-alpha photons lose their Si K-alpha
  // (a sanity bound on the escape model, not a reference value).
  EXPECT_GT(esc->expectedCounts, 0.001 * 1e5);
  EXPECT_LT(esc->expectedCounts, 0.02 * 1e5);
  EXPECT_DOUBLE_EQ(esc->expectedCounts, siEscapeFraction(5.895) * 1e5);
  // Below the Si K edge nothing escapes.
  EXPECT_EQ(find(peaks, "Si Kα esc"), nullptr);
}

TEST(PileupPeaks, OnlyTheStrongestPeaksAndOnlyInsideTheSpectrum) {
  std::vector<ParentPeak> parents;
  for (int i = 0; i < 6; ++i) parents.push_back({"P" + std::to_string(i), 1.0 + i, 1000.0 * (i + 1)});
  const std::vector<ArtefactPeak> peaks = artefactPeaks(parents, 10.0, 9.0);
  // P5, P4, P3, P2 are the strongest; P0 and P1 make none.
  for (const ArtefactPeak& p : peaks) {
    EXPECT_EQ(p.label.find("P0"), std::string::npos) << p.label;
    EXPECT_EQ(p.label.find("P1"), std::string::npos) << p.label;
    EXPECT_LE(p.energyKev, 9.0) << p.label;
  }
  EXPECT_NE(find(peaks, "P4+P3"), nullptr);   // 5 + 4 = 9 keV, the last channel's
  EXPECT_EQ(find(peaks, "P5+P4"), nullptr);   // 11 keV, beyond it
  // Without a live time the places are known, the sizes not.
  for (const ArtefactPeak& p : artefactPeaks(parents, 0.0, 9.0))
    if (p.kind == ArtefactPeak::Kind::Sum) {
      EXPECT_LT(p.expectedCounts, 0.0) << p.label;
    }
}

}  // namespace
}  // namespace tolvane

namespace tolvane {
namespace {

TEST(PileupPeaks, ThePlotMarksTheSumAndEscapePeaksOfTheLastPeakSearchDashed) {
  testing::SimRig rig(0);
  Session& s = *rig.session;
  s.Acquisition.ChannelCount = 2048;
  s.Acquisition.LiveTime = 1000;  // 100 s
  s.Calibration = {1, {'k', 'e', 'V'}, 0, 0, 0, 0, 0.01f, 0.0f};
  s.Display.FirstShown = 0;
  s.Display.LastShown = 2047;
  s.Lines.Shown = true;
  EXPECT_TRUE(plotLineMarkers(s, columnMapping(0, 2047, 512), 512, 330).empty());  // no search yet
  PeakIdentity fe;
  fe.peak.energyKev = 6.40;
  fe.peak.net = 1e6;
  s.Lines.LastPeaks.identification.peaks = {fe};
  const std::vector<LineMarker> markers = plotLineMarkers(s, columnMapping(0, 2047, 512), 512, 330);
  std::vector<std::string> labels;
  for (const LineMarker& m : markers) {
    EXPECT_TRUE(m.dashed);
    labels.push_back(m.label);
  }
  // The one peak's escape (4.66 keV) and its own sum (12.80 keV), named by
  // energy as nothing names the peak.
  EXPECT_EQ(labels, (std::vector<std::string>{"6.400 keV esc", "2×6.400 keV"}));
  EXPECT_NEAR(markers[1].channel, 1280.0, 1e-3);  // 12.8 keV at a gain of 0.01f

  // "Identify" on the escape peak names it with its expected counts.
  s.Display.Cursor = 466;
  IdentifyClick(s);
  EXPECT_NE(s.Texts.Edit1.find(" | 6.400 keV esc"), std::string::npos) << s.Texts.Edit1;
  EXPECT_NE(s.Lines.IdentifyDetails.find("escape peak 6.400 keV esc (4.660), "), std::string::npos)
      << s.Lines.IdentifyDetails;
  s.Display.Cursor = 1280;
  IdentifyClick(s);
  // 0.5 µs x (1e6)^2 / 100 s = 5000 counts in the sum peak.
  EXPECT_NE(s.Lines.IdentifyDetails.find("sum peak 2×6.400 keV (12.800), 5000 counts expected"), std::string::npos)
      << s.Lines.IdentifyDetails;
}

}  // namespace
}  // namespace tolvane
