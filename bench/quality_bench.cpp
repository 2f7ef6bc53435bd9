// The fit-quality assessment beside the fit it assesses (8 standards, 2048
// channels, windows of 60 channels), and the least-squares resolution fit
// of Mn K-alpha.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include <cmath>
#include <memory>
#include <random>

#include "analysis/resolution_fit.h"
#include "device/sim/spectrum_model.h"
#include "xfit/fit_quality.h"
#include "xfit/fit_quality_plan.h"

namespace tolvane {
namespace {

std::vector<int32_t> peaks(int channels, const std::vector<int>& centres, double height, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<int32_t> counts(static_cast<size_t>(channels));
  for (int c = 0; c < channels; ++c) {
    double mean = 20;
    for (int centre : centres) mean += height * std::exp(-0.5 * std::pow((c - centre) / 6.0, 2));
    counts[static_cast<size_t>(c)] = std::poisson_distribution<int32_t>(mean)(rng);
  }
  return counts;
}

struct Loaded {
  explicit Loaded(int standards) {
    const int channels = 2048, spacing = (channels - 200) / standards;
    fit->FitCount = standards;
    for (int k = 0; k < standards; ++k) {
      const int centre = 100 + spacing * k + spacing / 2;
      centres.push_back(centre);
      StandardRecord& r = fit->SelectedCopy[static_cast<size_t>(k)];
      r.setInUse(1);
      r.setElemName("E" + std::to_string(k));
      r.setFitLowCh(centre - 30);
      r.setFitHighCh(centre + 30);
      fit->SelectedIndex[static_cast<size_t>(k)] = k;
      const auto counts = peaks(channels, {centre}, 5000, static_cast<uint32_t>(k));
      std::copy(counts.begin(), counts.end(), fit->stdCounts(k));
      TopHatFilter(fit->stdCounts(k), fit->filteredStd(k), channels);
    }
    sample = peaks(channels, centres, 1500, 99);
    std::copy(sample.begin(), sample.end(), fit->SampleCounts.begin());
    fit->SampleChannels = channels;
  }
  std::unique_ptr<XfitWorkspace> fit = std::make_unique<XfitWorkspace>();
  std::vector<int> centres;
  std::vector<int32_t> sample;
};

void BM_MlsqFit8Standards2048(benchmark::State& state) {
  Loaded l(8);
  XfitWorkspace& fit = *l.fit;
  for (auto _ : state) {
    TopHatFilter(fit.SampleCounts.data(), fit.FilteredSample.data(), 2048, fit.Widths);
    TopHatVariance(fit.SampleCounts.data(), fit.SampleVariance.data(), 2048, fit.Widths);
    if (!solveMlsq(fit, fit.FilteredSample.data(), fit.SampleVariance.data())) std::abort();
    benchmark::DoNotOptimize(fit.FitCoefficients[0]);
  }
}

void BM_AssessFit8Standards2048(benchmark::State& state) {
  Loaded l(8);
  XfitWorkspace& fit = *l.fit;
  TopHatFilter(fit.SampleCounts.data(), fit.FilteredSample.data(), 2048, fit.Widths);
  TopHatVariance(fit.SampleCounts.data(), fit.SampleVariance.data(), 2048, fit.Widths);
  if (!solveMlsq(fit, fit.FilteredSample.data(), fit.SampleVariance.data())) std::abort();
  for (auto _ : state) {
    const FitQuality q = assessFit(fit, fit.FitCoefficients, fit.FitErrors, l.sample.data(), 2048);
    benchmark::DoNotOptimize(q.chi2Reduced);
  }
}

// The same assessment with the table's share planned once, as a batch
// makes it: per spectrum only the filtered sample on the windows, the
// residual and its variance.
void BM_AssessWithPlan8Standards2048(benchmark::State& state) {
  Loaded l(8);
  XfitWorkspace& fit = *l.fit;
  TopHatFilter(fit.SampleCounts.data(), fit.FilteredSample.data(), 2048, fit.Widths);
  TopHatVariance(fit.SampleCounts.data(), fit.SampleVariance.data(), 2048, fit.Widths);
  if (!solveMlsq(fit, fit.FilteredSample.data(), fit.SampleVariance.data())) std::abort();
  FitQualityPlan plan(fit);
  for (auto _ : state) {
    const FitQuality q = plan.assess(fit.FitCoefficients, fit.FitErrors, l.sample.data(), 2048, false);
    benchmark::DoNotOptimize(q.chi2Reduced);
  }
}

void BM_ResolutionFit(benchmark::State& state) {
  const auto weights = SpectrumModel().channelWeights(4096);
  std::mt19937_64 rng(5);
  std::vector<int32_t> counts(4096);
  for (size_t c = 0; c < counts.size(); ++c) counts[c] = std::poisson_distribution<int32_t>(4e5 * weights[c])(rng);
  for (auto _ : state) {
    const ResolutionFit fit = fitResolution({counts.data(), 4096, 590, 10.0});
    benchmark::DoNotOptimize(fit.fwhmEv);
  }
}

BENCHMARK(BM_MlsqFit8Standards2048)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AssessFit8Standards2048)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AssessWithPlan8Standards2048)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ResolutionFit)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tolvane
