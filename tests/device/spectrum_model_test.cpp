// The simulated source and detector: only Mn K lines from Fe-55, a sample
// excited by them, the Si escape, the low-energy continuum, and a
// resolution of electronic noise and Fano statistics in quadrature.
#include "device/sim/spectrum_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "device/mca_commands.h"
#include "handlers/mca_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

double sumOver(const std::vector<double>& w, int lo, int hi) {
  return std::accumulate(w.begin() + lo, w.begin() + hi + 1, 0.0);
}

int peakIn(const std::vector<double>& w, int lo, int hi) {
  int best = lo;
  for (int c = lo; c <= hi; ++c)
    if (w[static_cast<size_t>(c)] > w[static_cast<size_t>(best)]) best = c;
  return best;
}

TEST(SpectrumModel, TheBareSourceGivesMnKLinesAndNothingAboveKBeta) {
  const SpectrumModel model;
  for (const EmissionLine& line : model.lines()) EXPECT_LE(line.energyEv, SpectrumModel::kMnKBetaEv);
  const std::vector<double> w = model.channelWeights(4096);
  const double total = std::accumulate(w.begin(), w.end(), 0.0);
  // Fe K-beta (7.06 keV), Cu K-alpha (8.05 keV): nothing can excite them.
  EXPECT_LT(sumOver(w, 690, 4095) / total, 1e-9);
  EXPECT_EQ(w[805], 0.0);
  EXPECT_NEAR(peakIn(w, 560, 620), 589, 1);  // Mn K-alpha1 near channel 590
  EXPECT_NEAR(peakIn(w, 630, 680), 649, 1);  // Mn K-beta
}

TEST(SpectrumModel, SiEscapePeaksSit174KeVBelowTheirLinesAtAboutOnePercent) {
  const SpectrumModel model;
  const std::vector<double> w = model.channelWeights(4096);
  const int escape = peakIn(w, 380, 450);
  EXPECT_NEAR(escape, (5899 - 1740) / 10, 1);
  const double ratio = sumOver(w, escape - 25, escape + 25) / sumOver(w, 565, 615);
  EXPECT_GT(ratio, 0.005);
  EXPECT_LT(ratio, 0.03);
  EXPECT_EQ(SpectrumModel::escapeFraction(1800.0), 0.0);  // below the Si K edge
  EXPECT_GT(SpectrumModel::escapeFraction(4500.0), SpectrumModel::escapeFraction(6500.0));
}

TEST(SpectrumModel, ALowEnergyContinuumRisesBelowTheLines) {
  const SpectrumModel model;
  const std::vector<double> w = model.channelWeights(4096);
  EXPECT_EQ(w[20], 0.0);  // below the 0.3 keV threshold
  EXPECT_GT(w[60], w[300]);
  EXPECT_GT(w[300], 0.0);
}

TEST(SpectrumModel, NoiseAddsInQuadratureToTheFanoTerm) {
  const SpectrumModel model;
  EXPECT_NEAR(model.fwhmEv(SpectrumModel::kMnKAlpha1Ev), 145.0, 1e-9);
  // FWHM squared grows linearly with energy from the noise alone at zero.
  const auto squared = [&model](double e) { return model.fwhmEv(e) * model.fwhmEv(e); };
  EXPECT_NEAR(squared(4000) - squared(2000), squared(6000) - squared(4000), 1e-6);
  EXPECT_NEAR(squared(0.0), model.noiseFwhmEv() * model.noiseFwhmEv(), 1.0);
  EXPECT_GT(model.noiseFwhmEv(), 70.0);  // a square-root law alone would give 0 at 0 keV
  EXPECT_LT(model.noiseFwhmEv(), 100.0);
  EXPECT_GT(model.fwhmEv(1000.0), model.noiseFwhmEv());
}

TEST(SpectrumModel, ASampleFluorescesOnlyWhenTheSourceLiesAboveItsKEdge) {
  EXPECT_EQ(simSampleFromName("ti"), SimSample::Ti);
  EXPECT_EQ(simSampleFromName("Cr"), SimSample::Cr);
  EXPECT_EQ(simSampleFromName("none"), SimSample::None);
  EXPECT_FALSE(simSampleFromName("Fe"));  // its K edge lies above every Mn K line
  EXPECT_STREQ(simSampleName(SimSample::Ca), "Ca");

  const auto kAlpha1 = [](SimSample sample) {
    SpectrumModelConfig config;
    config.sample = sample;
    const SpectrumModel model(config);
    EXPECT_EQ(model.lines().size(), 6u);
    return model.lines()[3];
  };
  const EmissionLine ti = kAlpha1(SimSample::Ti);
  EXPECT_NEAR(ti.energyEv, 4510.8, 0.2);
  EXPECT_NEAR(ti.weight, 0.6, 1e-12);  // pure Ti sets the scale
  EXPECT_NEAR(kAlpha1(SimSample::Ca).energyEv, 3691.7, 0.2);
  // Cr's K edge (5.989 keV) lies above Mn K-alpha: only K-beta, a ninth of
  // the source, excites it.
  EXPECT_LT(kAlpha1(SimSample::Cr).weight, 0.2 * ti.weight);
}

TEST(SpectrumModel, TheSimulatedAnalyserCountsTheChosenSample) {
  SimulatedAnalyserConfig config;
  config.inputRateCps = 50'000;
  config.model.sample = SimSample::Ti;
  testing::SimRig rig(1, config);
  rig.open();
  Session& s = *rig.session;
  McaStartClick(s);
  rig.clock.advanceMillis(20'000);
  ASSERT_NE(ReadSpectrum(s.Transport, s.Acquisition, s.Working), SpectrumRead::Failed);
  int peak = 430;
  for (int c = 430; c <= 470; ++c)
    if (s.Working.Counts[static_cast<size_t>(c)] > s.Working.Counts[static_cast<size_t>(peak)]) peak = c;
  EXPECT_NEAR(peak, 451, 1);                                     // Ti K-alpha
  EXPECT_GT(s.Working.Counts[451], 10 * s.Working.Counts[530]);  // above the continuum
}

}  // namespace
}  // namespace tolvane
