// One MCA tick at 4096 channels against the simulated analyser with no link
// latency: 32 spectrum blocks, the status block, the rate and time
// arithmetic. The paint is not attached.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "app/session.h"
#include "device/clock.h"
#include "device/mca_commands.h"
#include "device/sim/sim_ftdi.h"
#include "handlers/mca_handlers.h"

namespace tolvane {
namespace {

void runTicks(benchmark::State& state, double inputRate) {
  ManualClock clock;
  SimFtdi bridge(clock);
  SimulatedAnalyserConfig config;
  config.inputRateCps = inputRate;
  bridge.attach(config);
  Session session(bridge, clock);
  McaOpenClick(session);
  session.Mca.PresetTime = 2'000'000'000;  // never reached while measuring
  // A preset the analyser refused would end the run being measured.
  if (SetPresetTime(session.Transport, session.Acquisition, session.Mca.PresetTime) != LinkOutcome::Done) std::abort();
  McaStartClick(session);
  for (auto _ : state) {
    clock.advanceMillis(100);
    Timer1Timer(session);
    benchmark::DoNotOptimize(session.Acquisition.CountRate);
  }
  state.counters["frames/tick"] =
      static_cast<double>(bridge.analyser(0).framesReceived()) / static_cast<double>(state.iterations());
}

// The program's side alone: the analyser records no events.
void BM_McaTickProtocolOnly(benchmark::State& state) { runTicks(state, 0.0); }
// With the simulator also drawing 5 kcps of events each tick.
void BM_McaTickWithSimulatedEvents(benchmark::State& state) { runTicks(state, 5000.0); }

BENCHMARK(BM_McaTickProtocolOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_McaTickWithSimulatedEvents)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tolvane
