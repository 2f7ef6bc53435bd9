// The Mn K-alpha fit on a 4096-channel simulated Fe-55 spectrum.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "analysis/mn_fit.h"
#include "app/session.h"
#include "device/clock.h"
#include "device/mca_commands.h"
#include "device/sim/sim_ftdi.h"
#include "handlers/mca_handlers.h"

namespace tolvane {
namespace {

void BM_MnKAlphaFit4096(benchmark::State& state) {
  ManualClock clock;
  SimFtdi bridge(clock);
  bridge.attach();
  Session session(bridge, clock);
  McaOpenClick(session);
  McaStartClick(session);
  clock.advanceMillis(60'000);
  if (ReadSpectrum(session.Transport, session.Acquisition, session.Working) != SpectrumRead::Complete) std::abort();
  const SpectrumView y = workingSpectrum(session);
  for (auto _ : state) {
    const MnFitResult r = fitMnKAlpha(y, 590, 0, 4095, 5899.0f, 5888.0f);
    benchmark::DoNotOptimize(r.x1);
  }
}

BENCHMARK(BM_MnKAlphaFit4096)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tolvane
