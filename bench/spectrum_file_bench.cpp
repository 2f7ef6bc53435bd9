// Writing a 4096-channel spectrum file (through the replace-on-complete
// path, with its flush to disk) and reading it back.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "app/session.h"
#include "device/clock.h"
#include "device/sim/sim_ftdi.h"
#include "files/spectrum_file.h"

namespace tolvane {
namespace {

void BM_SpectrumFileWriteRead4096(benchmark::State& state) {
  ManualClock clock;
  SimFtdi bridge(clock);
  Session session(bridge, clock);
  const std::string path =
      (std::filesystem::temp_directory_path() / ("tolvane-bench-" + std::to_string(::getpid()) + ".dat")).string();
  for (auto _ : state) {
    if (writeWorkingSpectrum(session, path) != FileWriteOutcome::Written ||
        readSpectrumPath(path).outcome != SpectrumFileRead::Outcome::Read)
      state.SkipWithError("file I/O failed");
    benchmark::DoNotOptimize(session.Working.Counts[4095]);
  }
  std::filesystem::remove(path);
}

BENCHMARK(BM_SpectrumFileWriteRead4096)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tolvane
