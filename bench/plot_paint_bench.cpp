// The plot: one paint (model and pixels) of a 4096-channel spectrum with ten
// ROIs shown, and one full frame rebuild.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include <QColor>
#include <random>

#include "app/session.h"
#include "device/clock.h"
#include "device/mca_commands.h"
#include "device/sim/sim_ftdi.h"
#include "handlers/plot_handlers.h"
#include "display/plot_renderer.h"
#include "handlers/mca_handlers.h"

namespace tolvane {
namespace {

struct PlotBenchRig {
  PlotBenchRig() : session(bridge, clock), renderer(QColor(0xD4, 0xD0, 0xC8)) {
    session.Painter = &renderer;
    InitialiseState(session);
    std::mt19937 rng(7);
    std::poisson_distribution<int> noise(400);
    for (int c = 0; c < 4096; ++c) session.Working.Counts[static_cast<size_t>(c)] = noise(rng);
    for (int i = 0; i < 10; ++i) {
      RoiEntry& roi = session.Rois.Entries[static_cast<size_t>(i)];
      roi.LowChannel = 300 * i + 50;
      roi.HighChannel = 300 * i + 120;
      roi.Colour = 0x0000FF;
      roi.Shown = 1;
    }
  }
  ManualClock clock;
  SimFtdi bridge{clock};
  Session session;
  PlotRenderer renderer;
};

void BM_PaintBox1Paint4096With10Rois(benchmark::State& state) {
  PlotBenchRig rig;
  for (auto _ : state) {
    PaintBox1Paint(rig.session);
    benchmark::DoNotOptimize(rig.renderer.paintBox().constBits());
  }
}

void BM_FullLogFrameRebuild(benchmark::State& state) {
  PlotBenchRig rig;
  for (auto _ : state) {
    DrawLogFrame(rig.session, true);
    benchmark::DoNotOptimize(rig.renderer.paintBox().constBits());
  }
}

BENCHMARK(BM_PaintBox1Paint4096With10Rois)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullLogFrameRebuild)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tolvane

namespace tolvane {
namespace {

// A whole Timer1 tick as the window runs it: 32 blocks, status, arithmetic
// and the paint with its pixels, against the simulator at zero latency.
void BM_McaTickWithPaint4096(benchmark::State& state) {
  ManualClock clock;
  SimFtdi bridge(clock);
  bridge.attach();
  Session session(bridge, clock);
  PlotRenderer renderer(QColor(0xD4, 0xD0, 0xC8));
  session.Painter = &renderer;
  InitialiseState(session);
  McaOpenClick(session);
  session.Mca.PresetTime = 2'000'000'000;
  // A preset the analyser refused would end the run being measured.
  if (SetPresetTime(session.Transport, session.Acquisition, session.Mca.PresetTime) != LinkOutcome::Done) std::abort();
  McaStartClick(session);
  for (auto _ : state) {
    clock.advanceMillis(100);
    Timer1Timer(session);
    benchmark::DoNotOptimize(renderer.paintBox().constBits());
  }
}

BENCHMARK(BM_McaTickWithPaint4096)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tolvane
