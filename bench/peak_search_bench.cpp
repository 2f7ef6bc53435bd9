// The peak search and element proposal on a 4096-channel simulated Fe-55
// spectrum (one minute), and the identification at one energy.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "app/session.h"
#include "device/clock.h"
#include "device/mca_commands.h"
#include "device/sim/sim_ftdi.h"
#include "handlers/mca_handlers.h"
#include "lines/element_proposal.h"
#include "lines/spectrum_lines.h"

namespace tolvane {
namespace {

struct Fe55 {
  Fe55() {
    bridge.attach();
    McaOpenClick(session);
    McaStartClick(session);
    clock.advanceMillis(60'000);
    if (ReadSpectrum(session.Transport, session.Acquisition, session.Working) != SpectrumRead::Complete) std::abort();
  }
  ManualClock clock;
  SimFtdi bridge{clock};
  Session session{bridge, clock};
  const EnergyScale scale{0.01, 0.005};
};

void BM_PeakSearch4096(benchmark::State& state) {
  Fe55 f;
  const DetectorResolution resolution;
  for (auto _ : state) {
    const PeakSearchResult r = searchPeaks(f.session.Working.Counts.data(), 4096, f.scale, resolution);
    benchmark::DoNotOptimize(r.peaks.data());
  }
}

void BM_PeaksAndElements4096(benchmark::State& state) {
  Fe55 f;
  allLines(kDefaultMaxKev);  // the line table is built once per excitation
  for (auto _ : state) {
    const SpectrumLinesResult r = spectrumPeaks(f.session, f.scale, kDefaultMaxKev);
    benchmark::DoNotOptimize(r.identification.elements.data());
  }
}

void BM_IdentifyAtEnergy(benchmark::State& state) {
  allLines(kDefaultMaxKev);
  const DetectorResolution resolution;
  for (auto _ : state) {
    const CursorIdentification id = identifyAtEnergy(5.9, resolution, kDefaultMaxKev, {25});
    benchmark::DoNotOptimize(id.candidates.data());
  }
}

BENCHMARK(BM_PeakSearch4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PeaksAndElements4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IdentifyAtEnergy)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tolvane
