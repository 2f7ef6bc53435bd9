// The simulated analyser's sample agrees with the fluorescence model: a Ca/Cr
// sample and pure Ca and Cr standards counted through the analyser's
// protocol, fitted by the MLSQ fit, and quantified per live time, give back
// the composition the simulator was given, within the counting error.
#include <gtest/gtest.h>

#include <cmath>

#include "device/sim/simulated_analyser.h"
#include "handlers/mca_handlers.h"
#include "quant/concentration_solver.h"
#include "test_support.h"
#include "xfit/mlsq_fit.h"

namespace tolvane {
namespace {

constexpr int kCa = 20, kCr = 24;
constexpr int kChannels = 4096;

struct Counted {
  std::vector<int32_t> counts;
  int32_t liveTenths = 0;
};

Counted count(const std::vector<ElementFraction>& composition, uint64_t seed, int64_t millis) {
  SimulatedAnalyserConfig config;
  config.inputRateCps = 40'000;
  config.seed = seed;
  config.model.composition = composition;
  testing::SimRig rig(1, config);
  rig.open();
  Session& s = *rig.session;
  McaStartClick(s);
  rig.clock.advanceMillis(millis);
  rig.tick();
  Counted out;
  out.counts.assign(s.Working.Counts.begin(), s.Working.Counts.begin() + kChannels);
  out.liveTenths = s.Acquisition.LiveTime;
  return out;
}

// The fit window of an energy: the peak's FWHM either side.
std::pair<int32_t, int32_t> window(double energyEv) {
  const int32_t centre = static_cast<int32_t>(energyEv / 10.0);
  return {centre - 13, centre + 14};
}

TEST(SimulatedQuant, ACaCrSampleQuantifiesToItsComposition) {
  const std::vector<ElementFraction> truth = {{kCa, 0.3}, {kCr, 0.7}};
  const int64_t millis = 200'000;
  const Counted sample = count(truth, 11, millis);
  const Counted standards[] = {count({{kCa, 1.0}}, 12, millis), count({{kCr, 1.0}}, 13, millis)};
  const double energies[] = {3691.7, 5414.7};

  TDmVQRN module;
  XfitWorkspace& fit = module.Fit;
  fit.FitCount = 2;
  fit.StdChannels = kChannels;
  for (int k = 0; k < 2; ++k) {
    StandardRecord& r = module.Table.Records[static_cast<size_t>(k)];
    r.setInUse(1);
    r.setElemName(k == 0 ? "Ca" : "Cr");
    r.setFitLowCh(window(energies[k]).first);
    r.setFitHighCh(window(energies[k]).second);
    fit.SelectedCopy[static_cast<size_t>(k)] = r;
    fit.SelectedIndex[static_cast<size_t>(k)] = k;
    std::copy(standards[k].counts.begin(), standards[k].counts.end(), fit.stdCounts(k));
    TopHatFilter(fit.stdCounts(k), fit.filteredStd(k), kChannels, fit.Widths);
  }
  std::copy(sample.counts.begin(), sample.counts.end(), fit.SampleCounts.begin());
  fit.SampleChannels = kChannels;
  ASSERT_EQ(RunMlsqFit(module, true, ""), FitOutcome::Fitted);

  // The simulator's own source lines are the beam.
  QuantRequest request;
  const SpectrumModel bareSource;
  for (const EmissionLine& line : bareSource.lines())
    request.beam.lines.push_back({line.energyEv * 1e-3, line.weight});
  for (int k = 0; k < 2; ++k) {
    const StandardRecord& r = module.Table.Records[static_cast<size_t>(k)];
    const double perLiveTime = static_cast<double>(standards[k].liveTenths) / sample.liveTenths;
    request.measured.push_back({truth[static_cast<size_t>(k)].z, LineGroup::KAlpha, {{truth[static_cast<size_t>(k)].z, 1.0}},
                                r.kratioPct() / 100.0 * perLiveTime, r.kratioErr() / 100.0 * perLiveTime});
  }
  const QuantResult result = quantify(request);
  ASSERT_TRUE(result.converged);
  for (size_t k = 0; k < 2; ++k) {
    const QuantElementResult& r = result.elements[k];
    ASSERT_TRUE(r.fraction);
    // The error is three standard deviations, as the fit's.
    EXPECT_GT(r.fractionError, 0.0);
    EXPECT_NEAR(*r.fraction, truth[k].fraction, r.fractionError) << k;
  }
  // Per live time, the standards' K-ratios add to the analytical total.
  EXPECT_NEAR(result.total, 1.0, 0.03);
}

}  // namespace
}  // namespace tolvane
