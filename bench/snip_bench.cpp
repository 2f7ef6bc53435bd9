// The SNIP background of a 4096-channel spectrum: the window a 145 eV
// detector gives on 10 eV channels (29) and twice that, with and without
// the log-log-sqrt transform.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "analysis/snip_background.h"

namespace tolvane {
namespace {

std::vector<int32_t> peaksOnContinuum() {
  std::vector<int32_t> y(4096);
  for (size_t c = 0; c < y.size(); ++c) {
    const double x = static_cast<double>(c);
    const double peaks = 4e4 * std::exp(-0.5 * std::pow((x - 590) / 6.2, 2)) +
                         6e3 * std::exp(-0.5 * std::pow((x - 649) / 6.4, 2)) +
                         9e3 * std::exp(-0.5 * std::pow((x - 1600) / 9.0, 2));
    y[c] = static_cast<int32_t>(300.0 * std::exp(-x / 1500.0) + peaks + static_cast<double>((c * 7919) % 13));
  }
  return y;
}

void BM_Snip4096(benchmark::State& state) {
  const std::vector<int32_t> y = peaksOnContinuum();
  const SnipOptions options{static_cast<int>(state.range(0)), state.range(1) != 0, 0};
  for (auto _ : state) benchmark::DoNotOptimize(snipBackground(y.data(), 4096, options));
}
BENCHMARK(BM_Snip4096)->Args({29, 1})->Args({29, 0})->Args({58, 1})->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tolvane
