// The batch kernel against the single fit, bit for bit, on every vector
// path this CPU runs.
#include "xfit/xfit_batch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

namespace tolvane {
namespace {

std::vector<int32_t> gaussian(int channels, double centre, double height, double base) {
  std::vector<int32_t> counts(static_cast<size_t>(channels));
  for (int c = 0; c < channels; ++c)
    counts[static_cast<size_t>(c)] =
        static_cast<int32_t>(std::lround(base + height * std::exp(-0.5 * std::pow((c - centre) / 7.0, 2))));
  return counts;
}

// Where a standard's peak lies: the middle of its window, kept inside the
// channels the filter writes.
double centreOf(const std::pair<int32_t, int32_t>& window) {
  return std::clamp((window.first + window.second) / 2.0, 20.0, 4070.0);
}

// A loaded data module built in memory: standards with the windows given,
// filtered as "Load Std" filters them.
TDmVQRN loadedModule(const std::vector<std::pair<int32_t, int32_t>>& windows, int stdChannels) {
  TDmVQRN module;
  XfitWorkspace& fit = module.Fit;
  fit.FitCount = static_cast<int32_t>(windows.size());
  fit.StdChannels = stdChannels;
  for (size_t k = 0; k < windows.size(); ++k) {
    StandardRecord& r = fit.SelectedCopy[k];
    r.setInUse(1);
    r.setFitLowCh(windows[k].first);
    r.setFitHighCh(windows[k].second);
    fit.SelectedIndex[k] = static_cast<int32_t>(k);
    const double centre = centreOf(windows[k]);
    std::vector<int32_t> counts(kFitChannels, 0);
    const auto peak = gaussian(stdChannels, centre, 4000 + 500.0 * static_cast<double>(k), 15);
    std::copy(peak.begin(), peak.end(), counts.begin());
    TopHatFilter(counts.data(), fit.filteredStd(static_cast<int>(k)), stdChannels, fit.Widths);
  }
  return module;
}

// Noisy mixtures of the standards, of various lengths, some with long runs
// of zero counts (variance 0) and some with negative counts.
struct Sample {
  std::vector<int32_t> counts;
  int32_t n;
};

std::vector<Sample> samples(const std::vector<std::pair<int32_t, int32_t>>& windows, uint32_t seed) {
  std::mt19937 rng(seed);
  const int lengths[] = {4096, 2048, 8192, 1000, 512, 4096, 3000, 4096, 1, 0, 4096, 2600, 4096};
  std::vector<Sample> out;
  for (int s = 0; s < 26; ++s) {
    const int n = lengths[s % 13];
    std::vector<int32_t> counts(static_cast<size_t>(std::max(n, 1)), 0);
    for (int c = 0; c < n; ++c) {
      double mean = s % 5 == 2 ? 0 : 3;
      for (size_t k = 0; k < windows.size(); ++k)
        mean += (0.1 + 0.37 * static_cast<double>((k + static_cast<size_t>(s)) % 4)) * 4000 *
                std::exp(-0.5 * std::pow((c - centreOf(windows[k])) / 7.0, 2));
      counts[static_cast<size_t>(c)] = std::poisson_distribution<int32_t>(mean)(rng);
      if (s % 7 == 3 && c % 11 == 0) counts[static_cast<size_t>(c)] = -counts[static_cast<size_t>(c)];
    }
    out.push_back({std::move(counts), n});
  }
  return out;
}

// The single fit of one sample, as "MLSQ Fit" runs it.
BatchFit singleFit(TDmVQRN& module, const Sample& sample) {
  XfitWorkspace& fit = module.Fit;
  const int32_t n = std::min(sample.n, kFitChannels);
  std::fill(fit.SampleCounts.begin(), fit.SampleCounts.end(), 0);
  std::copy_n(sample.counts.begin(), n, fit.SampleCounts.begin());
  fit.SampleChannels = n;
  BatchFit result;
  result.fitted = RunMlsqFit(module, true, {}) == FitOutcome::Fitted;
  result.coefficients = fit.FitCoefficients;
  result.errors = fit.FitErrors;
  return result;
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// `fitted`: at least how many of the 26 samples the single fit fits (0:
// none may be).
void expectSameAsSingle(const std::vector<std::pair<int32_t, int32_t>>& windows, uint32_t seed, int fitted) {
  TDmVQRN module = loadedModule(windows, 4096);
  const auto inputs = samples(windows, seed);
  std::vector<BatchFit> expected;
  for (const auto& sample : inputs) expected.push_back(singleFit(module, sample));
  const auto fits = std::count_if(expected.begin(), expected.end(), [](const BatchFit& f) { return f.fitted; });
  if (fitted == 0) {
    EXPECT_EQ(fits, 0);
  }
  EXPECT_GE(fits, fitted);
  int tested = 0;
  for (BatchPath path : kBatchPaths) {
    if (!batchPathRuns(path)) continue;
    ++tested;
    XfitBatch batch(module.Fit, path);
    // Groups of every size from one to full, so each sample meets other
    // neighbours and other lane positions.
    for (int size = 1; size <= batch.lanes(); ++size) {
      for (size_t first = 0; first < inputs.size(); first += static_cast<size_t>(size)) {
        const int count = static_cast<int>(std::min<size_t>(static_cast<size_t>(size), inputs.size() - first));
        std::vector<const int32_t*> counts;
        std::vector<int32_t> n;
        for (int k = 0; k < count; ++k) {
          const Sample& sample = inputs[first + static_cast<size_t>(k)];
          counts.push_back(sample.counts.data());
          n.push_back(sample.n);
        }
        std::vector<BatchFit> out(static_cast<size_t>(count));
        batch.fitGroup(counts.data(), n.data(), count, out.data());
        for (int k = 0; k < count; ++k) {
          const size_t s = first + static_cast<size_t>(k);
          const BatchFit& want = expected[s];
          const BatchFit& got = out[static_cast<size_t>(k)];
          ASSERT_EQ(got.fitted, want.fitted) << batchPathName(path) << " sample " << s;
          if (!want.fitted) continue;
          for (size_t i = 0; i < windows.size(); ++i) {
            ASSERT_TRUE(sameBits(got.coefficients[i], want.coefficients[i]))
                << batchPathName(path) << " sample " << s << " standard " << i << ": " << got.coefficients[i] << " vs "
                << want.coefficients[i];
            ASSERT_TRUE(sameBits(got.errors[i], want.errors[i]))
                << batchPathName(path) << " sample " << s << " standard " << i;
          }
        }
      }
    }
  }
  EXPECT_GE(tested, 1);
}

TEST(XfitBatchKernel, EveryPathGivesTheSingleFitsBitsForSeparateWindows) {
  expectSameAsSingle(
      {{100, 160}, {330, 390}, {560, 620}, {790, 850}, {1020, 1080}, {1250, 1310}, {1480, 1540}, {1710, 1770}}, 1, 22);
}

TEST(XfitBatchKernel, EveryPathGivesTheSingleFitsBitsForOverlapsAndEdges) {
  // Overlapping windows, a window from channel 0, one reaching past the
  // filter's last output and past the buffer, and a negative start.
  expectSameAsSingle({{0, 40}, {20, 70}, {60, 130}, {500, 540}, {520, 560}, {4060, 4200}, {-30, 10}}, 2, 22);
  // Sixteen standards, every other one overlapping its neighbour.
  std::vector<std::pair<int32_t, int32_t>> many;
  for (int k = 0; k < 16; ++k) many.push_back({200 + 90 * k, 200 + 90 * k + (k % 2 ? 130 : 60)});
  expectSameAsSingle(many, 3, 22);
}

TEST(XfitBatchKernel, SingularAndIllConditionedStandardsGiveTheSameOutcomeOnEveryPath) {
  // An empty window leaves a zero pivot; two standards of one shape in one
  // window leave a nearly singular matrix, fitted to the same bits.
  expectSameAsSingle({{300, 340}, {500, 500}}, 5, 0);
  expectSameAsSingle({{300, 340}, {300, 340}}, 4, 20);
}

TEST(XfitBatchKernel, WidestPathIsOneThisCpuRuns) {
  EXPECT_TRUE(batchPathRuns(widestBatchPath()));
  EXPECT_TRUE(batchPathRuns(BatchPath::Baseline));
  for (BatchPath path : kBatchPaths)
    std::printf("%s: %s\n", batchPathName(path), batchPathRuns(path) ? "runs here" : "not on this CPU");
}

}  // namespace
}  // namespace tolvane
