// FWHM and the Mn K-alpha fit: the worked examples, the edges of the
// spectrum, and a spectrum from the simulated analyser.
#include <gtest/gtest.h>

#include <cmath>

#include "analysis/fwhm.h"
#include "analysis/mn_fit.h"
#include "handlers/analysis_handlers.h"
#include "device/mca_commands.h"
#include "handlers/mca_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

struct PeakRig {
  explicit PeakRig(std::initializer_list<std::pair<int, int32_t>> counts, int channels = 4096) {
    s().Acquisition.ChannelCount = channels;
    std::fill(s().Working.Counts.begin(), s().Working.Counts.end(), 0);
    for (const auto& [c, v] : counts) s().Working.Counts[static_cast<size_t>(c)] = v;
    s().Display.FirstShown = 0;
    s().Display.LastShown = channels - 1;
  }
  Session& s() { return *rig.session; }
  testing::SimRig rig{0};
};

TEST(Fwhm, WorkedExamplesAndAnOddMaximum) {
  PeakRig a({{99, 10}, {100, 20}, {101, 10}});
  a.s().Display.Cursor = 100;
  FWHMClick(a.s());
  EXPECT_EQ(a.s().Texts.Edit1, "Peak   100.00 Ch.");
  EXPECT_EQ(a.s().Texts.FwhmVal, "    1.00 ch");

  PeakRig b({{99, 10}, {100, 30}, {101, 30}, {102, 10}});
  b.s().Display.Cursor = 101;
  FWHMClick(b.s());
  EXPECT_EQ(b.s().Texts.FwhmVal, "    1.50 ch");
  EXPECT_EQ(b.s().Texts.Edit1, "Peak   100.50 Ch.");

  // 21 halves to 10: a neighbour of exactly 10 ends the run.
  PeakRig c({{99, 10}, {100, 21}, {101, 11}, {102, 0}});
  const FwhmResult r = measureFwhm(workingSpectrum(c.s()), 100, 0, 4095);
  EXPECT_FLOAT_EQ(r.fwhm, (101 - 100 - 1) + 11.0f / 11.0f + 1.0f / 11.0f);
}

TEST(Fwhm, NoPeakOrAPeakAtTheSpectrumEndsShowAMessageNotANumber) {
  PeakRig empty({});
  empty.s().Display.Cursor = 50;
  FWHMClick(empty.s());
  EXPECT_EQ(empty.s().Texts.Edit1, "No peak");
  EXPECT_EQ(empty.s().Texts.FwhmVal, "Ch [ keV ]");

  PeakRig start({{0, 50}, {1, 40}, {2, 10}});
  start.s().Display.Cursor = 1;
  FWHMClick(start.s());
  EXPECT_EQ(start.s().Texts.Edit1, "Peak at view edge");

  PeakRig nearEnd({{1020, 5}, {1021, 40}, {1022, 5}}, 1024);
  nearEnd.s().Display.Cursor = 1023;
  FWHMClick(nearEnd.s());
  EXPECT_EQ(nearEnd.s().Texts.Edit1, "Peak  1021.00 Ch.");
}

TEST(MnFit, APureKAlpha1PeakAt590MovesBothPositionsTogether) {
  PeakRig r({});
  for (int c = 560; c < 620; ++c)
    r.s().Working.Counts[static_cast<size_t>(c)] =
        static_cast<int32_t>(std::lround(10000 * std::exp(-0.5 * std::pow((c - 590) / 6.2, 2))));
  r.s().Display.Cursor = 590;
  MnKaFitClick(r.s());
  const MnFitState& m = r.s().MnFit;
  EXPECT_EQ(m.OverlayShown, 1);
  EXPECT_EQ(r.s().Texts.Edit1, "  590.00 Ch.");
  EXPECT_NEAR(m.EvPerChannel, 5899.0f / 590.0f, 1e-4);
  const MnFitResult fit = fitMnKAlpha(workingSpectrum(r.s()), 590, 0, 4095, 5899.0f, 5888.0f);
  EXPECT_NEAR(fit.startX2, 588.9, 0.05);
  EXPECT_FLOAT_EQ(fit.x1 - fit.startX1, fit.x2 - fit.startX2);  // never apart
  EXPECT_GT(fit.x1, fit.startX1);                               // K-alpha2 sits low, so the pair shifts up
  // FWHM of a Gaussian with sigma 6.2 channels is 14.6 channels.
  EXPECT_NEAR(fit.fwhmCh, 14.6, 0.2);
  EXPECT_EQ(m.KAlpha1Position, fit.lastTrialX1);

  MnKaFitClick(r.s());  // the second use hides without fitting again
  EXPECT_EQ(m.OverlayShown, 0);
  MnKaFitClick(r.s());
  EXPECT_EQ(m.OverlayShown, 1);
}

TEST(MnFit, AZeroWidthWindowChoosesTrialZeroInBothPasses) {
  // A spike between negative neighbours (all-ones channels read as -1 and
  // below): FWHMch = 2 - 0.75 - 0.75, below 2/3, so the window is empty.
  PeakRig r({{99, -1000}, {100, 1000}, {101, -1000}});
  const MnFitResult fit = fitMnKAlpha(workingSpectrum(r.s()), 100, 0, 4095, 5899.0f, 5888.0f);
  ASSERT_EQ(fit.outcome, MnFitResult::Outcome::Fitted);
  EXPECT_FLOAT_EQ(fit.fwhmCh, 0.5f);
  EXPECT_FLOAT_EQ(fit.x1, (fit.startX1 + -0.5f) + -0.05f);
  EXPECT_FLOAT_EQ(fit.x2, (fit.startX2 + -0.5f) + -0.05f);
}

TEST(MnFit, OverlayColumnsTakeTheLargerModelValueOrSpanTwoColumns) {
  PeakRig r({});
  for (int c = 560; c < 620; ++c)
    r.s().Working.Counts[static_cast<size_t>(c)] =
        static_cast<int32_t>(std::lround(500 * std::exp(-0.5 * std::pow((c - 590) / 6.0, 2))));
  r.s().Display.FullScaleIndex = 3;  // 500 counts
  r.s().Display.Cursor = 590;
  r.s().Display.FirstShown = 0;
  r.s().Display.LastShown = 1023;  // q = 2
  MnKaFitClick(r.s());
  const MnFitResult fit = fitMnKAlpha(workingSpectrum(r.s()), 590, 0, 1023, 5899.0f, 5888.0f);
  const auto row = [&](int k) {
    const auto m = std::max(static_cast<int64_t>(gaussianAt(fit.a1, fit.x1, k, fit.g2)),
                            static_cast<int64_t>(gaussianAt(fit.a1, fit.x1, k + 1, fit.g2)));
    return static_cast<int32_t>(std::min<int64_t>(312 - 312 * m / 500, 311));
  };
  EXPECT_EQ(r.s().Plot.Mem1.top[295], row(590));
  EXPECT_EQ(r.s().Plot.Mem1.top[0], 311);

  MnKaFitClick(r.s());
  r.s().Display.FirstShown = 462;
  r.s().Display.LastShown = 717;  // 256 channels: two columns per channel
  MnKaFitClick(r.s());
  EXPECT_EQ(r.s().Plot.Mem1.top[256], r.s().Plot.Mem1.top[257]);      // channel 590
  EXPECT_LT(r.s().Plot.Mem3.top[256], r.s().Plot.Mem1.top[256] + 1);  // the sum lies above
}

TEST(MnFit, OnASimulatedFe55SpectrumTheWidthIsNearTheDetectorResolution) {
  SimulatedAnalyserConfig config;
  config.inputRateCps = 20'000;
  testing::SimRig rig(1, config);
  rig.open();
  Session& s = *rig.session;
  McaStartClick(s);
  rig.clock.advanceMillis(120'000);
  ASSERT_NE(ReadSpectrum(s.Transport, s.Acquisition, s.Working), SpectrumRead::Failed);
  s.Display.Cursor = 590;
  MnKaFitClick(s);
  ASSERT_EQ(s.MnFit.OverlayShown, 1);
  const MnFitResult fit = fitMnKAlpha(workingSpectrum(s), 590, 0, 4095, 5899.0f, 5888.0f);
  // The K-alpha doublet and the zero-count baseline read a little wide.
  EXPECT_NEAR(fit.fwhmEv, 145.0, 14.5);
  EXPECT_NEAR(fit.centroid, 589.5, 1.0);
}

}  // namespace
}  // namespace tolvane
