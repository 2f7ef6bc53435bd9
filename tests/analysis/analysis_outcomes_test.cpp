// The analyses as typed results: which field stops a calibration, what a
// stored calibration holds, where the Mn fit's overlay curves lie, and
// that the window's handlers show exactly these results.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "analysis/energy_calibration.h"
#include "analysis/fwhm.h"
#include "analysis/mn_fit.h"
#include "display/plot_geometry.h"
#include "display/vfs_ladder.h"
#include "handlers/analysis_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

using Entry = CalibrationEntry::Outcome;

TEST(CalibrationEntry, TheFirstFieldThatIsNotANumberIsTheOutcome) {
  const struct {
    const char *lc, *hc, *le, *he;
    Entry outcome;
  } cases[] = {{"Low Ch", "High Ch", "Low Energy", "Hi Energy", Entry::LowChannelNotNumber},
               {"1", "x", "y", "z", Entry::HighChannelNotNumber},
               {"1", "2", "", "z", Entry::LowEnergyNotNumber},
               {"1", "2", "3", "4,5", Entry::HighEnergyNotNumber},
               {"100", " 100.00", "1", "2", Entry::SameChannel},
               // Distinct as typed, the same channel in single precision.
               {"16777216", "16777217", "1", "2", Entry::SameChannel},
               {"   128.00", "896", "1.0", "7.0", Entry::Computed}};
  for (const auto& c : cases)
    EXPECT_EQ(calibrationFromTexts(c.lc, c.hc, c.le, c.he).outcome, c.outcome) << c.lc << " " << c.hc;
}

TEST(CalibrationEntry, EitherOrderGivesTheSameLineAndStoringItCutsTheUnit) {
  const CalibrationEntry up = calibrationFromTexts("128", "896", "1.0", "7.0");
  const CalibrationEntry down = calibrationFromTexts("896", "128", "7.0", "1.0");
  ASSERT_EQ(up.outcome, Entry::Computed);
  ASSERT_EQ(down.outcome, Entry::Computed);
  EXPECT_EQ(up.line.gain, 0.0078125f);
  EXPECT_EQ(up.line.offset, 0.0f);
  EXPECT_EQ(down.line.gain, up.line.gain);
  EXPECT_EQ(down.line.offset, up.line.offset);
  EXPECT_EQ(channelEnergy(up.line.gain, up.line.offset, 512.0f), 4.0f);

  EnergyCalibration cal;
  cal.UnitText = {'a', 'b', 'c', 'd', 'e', 'f', 'g', '\0'};
  storeCalibration(cal, down.line, "eV");
  EXPECT_EQ(cal.Valid, 1);
  EXPECT_STREQ(cal.UnitText.data(), "eV");
  EXPECT_EQ(cal.UnitText[5], '\0');  // nothing of the longer unit before it is left behind
  EXPECT_EQ(cal.RefLowChannel, 896.0f);
  EXPECT_EQ(cal.RefHighEnergy, 1.0f);
  storeCalibration(cal, up.line, "kiloelectronvolt");
  EXPECT_STREQ(cal.UnitText.data(), "kiloele");
  EXPECT_TRUE(isChannelText("  12.50"));
  EXPECT_FALSE(isChannelText("12k"));
}

struct PeakRig {
  explicit PeakRig(int channels) {
    s().Acquisition.ChannelCount = channels;
    std::fill(s().Working.Counts.begin(), s().Working.Counts.end(), 0);
    s().Display.FirstShown = 0;
    s().Display.LastShown = channels - 1;
  }
  void gaussian(int centre, double sigma, double height) {
    for (int c = centre - 40; c <= centre + 40; ++c)
      s().Working.Counts[static_cast<size_t>(c)] =
          static_cast<int32_t>(std::lround(height * std::exp(-0.5 * std::pow((c - centre) / sigma, 2))));
  }
  Session& s() { return *rig.session; }
  testing::SimRig rig{0};
};

TEST(FwhmResult, CarriesThePeakItMeasuredAndSaysWhyThereIsNoWidth) {
  PeakRig r(1024);
  r.s().Working.Counts[300] = 10;
  r.s().Working.Counts[301] = 30;
  r.s().Working.Counts[302] = 30;
  r.s().Working.Counts[303] = 10;
  const SpectrumView y = workingSpectrum(r.s());
  const FwhmResult m = measureFwhm(y, 302, 0, 1023);
  ASSERT_EQ(m.outcome, FwhmResult::Outcome::Measured);
  EXPECT_TRUE(m.peak.found);
  EXPECT_EQ(m.peak.channel, 301);  // the first of the tie
  EXPECT_EQ(m.peak.height, 30);
  EXPECT_EQ(m.fwhm, 1.5f);
  EXPECT_EQ(measureFwhm(y, 700, 0, 1023).outcome, FwhmResult::Outcome::NoPeak);
  EXPECT_EQ(measureFwhm(y, 302, 301, 1023).outcome, FwhmResult::Outcome::PeakAtViewEdge);
  EXPECT_EQ(measureFwhm(y, 302, 0, 301).outcome, FwhmResult::Outcome::PeakAtViewEdge);
}

OverlayFrame frameOf(const Session& s) {
  const DisplayState& d = s.Display;
  return {kPlotWidth, kPlotHeight, vfsFullScale(d.FullScaleIndex), d.FirstShown, d.LastShown, -32768};
}

TEST(MnFitOverlay, CurvesFollowTheFitAndStayOnThePlot) {
  PeakRig r(4096);
  r.gaussian(590, 6.2, 20000);
  Session& s = r.s();
  s.Display.FirstShown = 0;
  s.Display.LastShown = 1023;  // two channels per column
  s.Display.FullScaleIndex = 10;
  const SpectrumView y = workingSpectrum(s);
  const MnFitResult fit = fitMnKAlpha(y, 590, 0, 1023, 5899.0f, 5888.0f);
  ASSERT_EQ(fit.outcome, MnFitResult::Outcome::Fitted);
  const MnFitOverlay o = mnFitOverlay(y, fit, frameOf(s));
  for (const auto* curve : {&o.kAlpha1, &o.kAlpha2, &o.sum, &o.residual}) {
    ASSERT_EQ(curve->size(), static_cast<size_t>(kPlotWidth));
    for (int32_t row : *curve) EXPECT_LE(row, kPlotHeight - 1);
  }
  // Far from the peak the Gaussians lie on the bottom row; at the peak the
  // sum stands above each line alone, and K-alpha1 above K-alpha2.
  EXPECT_EQ(o.kAlpha1[100], kPlotHeight - 1);
  EXPECT_EQ(o.sum[500], kPlotHeight - 1);
  const size_t top = static_cast<size_t>(std::min_element(o.kAlpha1.begin(), o.kAlpha1.end()) - o.kAlpha1.begin());
  EXPECT_NEAR(static_cast<double>(top), fit.x1 / 2.0, 2.0);
  EXPECT_LT(o.sum[top], o.kAlpha1[top]);
  EXPECT_LT(o.kAlpha1[top], o.kAlpha2[top]);

  // 256 channels shown: each channel spans two columns.
  s.Display.FirstShown = 462;
  s.Display.LastShown = 717;
  const MnFitOverlay wide = mnFitOverlay(y, fit, frameOf(s));
  for (size_t x = 0; x < wide.kAlpha1.size(); x += 2) {
    EXPECT_EQ(wide.kAlpha1[x], wide.kAlpha1[x + 1]) << x;
    EXPECT_EQ(wide.residual[x], wide.residual[x + 1]) << x;
  }

  OverlayFrame none = frameOf(s);
  none.width = 0;
  EXPECT_TRUE(mnFitOverlay(y, fit, none).sum.empty());
}

TEST(MnFitHandler, ShowsExactlyTheEngineResultAndOverlay) {
  PeakRig r(4096);
  r.gaussian(1200, 7.5, 9000);
  Session& s = r.s();
  s.Display.Cursor = 1201;
  const SpectrumView y = workingSpectrum(s);
  const MnFitResult fit = fitMnKAlpha(y, 1201, 0, 4095, s.MnFit.KAlpha1Energy, s.MnFit.KAlpha2Energy);
  ASSERT_EQ(fit.outcome, MnFitResult::Outcome::Fitted);
  const MnFitOverlay o = mnFitOverlay(y, fit, frameOf(s));

  MnKaFitClick(s);
  char text[48];
  std::snprintf(text, sizeof text, "%8.2f eV", static_cast<double>(fit.fwhmEv));
  EXPECT_EQ(s.Texts.FwhmVal, text);
  EXPECT_EQ(s.MnFit.OverlayShown, 1);
  EXPECT_EQ(s.MnFit.EvPerChannel, fit.evPerChannel);
  EXPECT_EQ(s.MnFit.KAlpha1Position, fit.lastTrialX1);
  EXPECT_EQ(s.MnFit.KAlpha2Position, fit.lastTrialX2);
  for (size_t x = 0; x < static_cast<size_t>(kPlotWidth); ++x) {
    ASSERT_EQ(s.Plot.Mem1.top[x], o.kAlpha1[x]) << x;
    ASSERT_EQ(s.Plot.Mem2.top[x], o.kAlpha2[x]) << x;
    ASSERT_EQ(s.Plot.Mem3.top[x], o.sum[x]) << x;
    ASSERT_EQ(s.Plot.Snapshot.top[x], o.residual[x]) << x;
  }
}

}  // namespace
}  // namespace tolvane
