// The calibration through 40 lines: the least-squares line and quadratic
// with every point's leave-one-out residual and flag.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "analysis/calibration_fit.h"

namespace tolvane {
namespace {

std::vector<CalibrationPoint> fortyLines() {
  std::vector<CalibrationPoint> points;
  for (int i = 0; i < 40; ++i) {
    const double channel = 60.0 + 100.0 * i;
    // A gentle quadratic with a few eV of centroid scatter, one line wrong.
    double energy = -0.02 + 0.01 * channel + 1e-8 * channel * channel + 0.003 * std::sin(1.7 * i);
    if (i == 17) energy += 0.08;
    points.push_back({channel, energy, ""});
  }
  return points;
}

void BM_CalibrationFit40Lines(benchmark::State& state) {
  const std::vector<CalibrationPoint> points = fortyLines();
  const bool quadratic = state.range(0) != 0;
  for (auto _ : state) {
    const CalibrationFit fit = fitCalibration(points, quadratic, 1000.0);
    benchmark::DoNotOptimize(fit.rmsEv);
  }
}

BENCHMARK(BM_CalibrationFit40Lines)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tolvane
