// What one 4096-channel polling tick costs on a real link: the program's
// tick through libftdi1 and libusb to an emulated FT232H whose latency timer
// runs at its real pace (6 ms, as the open sequence sets it), and through
// the D2XX backend over the stand-in library on the same emulated chip.
// Each tick is 33 exchanges; every reply ends in a short packet that the
// chip sends only when its latency timer runs out.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <dlfcn.h>

#include <memory>

#include "app/session.h"
#include "device/clock.h"
#include "device/d2xx_backend.h"
#include "device/libftdi_backend.h"
#include "device/mca_commands.h"
#include "handlers/mca_handlers.h"
#include "tests/hardware/emulated_usb_bus.h"

namespace tolvane::hw {
namespace {

void runTicks(benchmark::State& state, FtdiApi& api, Clock& clock, FtdiChip& chip) {
  Session session(api, clock);
  McaOpenClick(session);
  if (session.Acquisition.DeviceOpen != 1) {
    state.SkipWithError("the emulated analyser could not be opened");
    return;
  }
  session.Mca.PresetTime = 2'000'000'000;  // never reached while measuring
  // A preset the analyser refused would end the run being measured.
  if (SetPresetTime(session.Transport, session.Acquisition, session.Mca.PresetTime) != LinkOutcome::Done) std::abort();
  McaStartClick(session);
  for (auto _ : state) {
    chip.advanceAnalyserMillis(100);
    Timer1Timer(session);
  }
  state.counters["latency_ms"] = chip.latencyMillis();
}

void BM_TickThroughLibftdi(benchmark::State& state) {
  std::string why;
  EmulatedUsbBus bus;
  if (!EmulatedUsbBus::available(why)) {
    state.SkipWithError(why.c_str());
    return;
  }
  FtdiChip& chip = bus.plug("VQ5A0001");
  SteadyClock clock;
  std::string error;
  auto api = makeLibftdiBackend(clock, error);
  runTicks(state, *api, clock, chip);
}
BENCHMARK(BM_TickThroughLibftdi)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10)->Repetitions(3);

void BM_TickThroughD2xx(benchmark::State& state) {
  void* standIn = ::dlopen("libftd2xx.so", RTLD_NOW | RTLD_LOCAL);
  auto plug =
      standIn ? reinterpret_cast<FtdiChip* (*)(const char*, uint64_t)>(::dlsym(standIn, "standin_plug")) : nullptr;
  auto clear = standIn ? reinterpret_cast<void (*)()>(::dlsym(standIn, "standin_clear")) : nullptr;
  std::string error;
  auto api = plug ? loadD2xxBackend(error) : nullptr;
  if (!api) {
    state.SkipWithError("the stand-in D2XX library is not on the library path");
    return;
  }
  clear();
  FtdiChip* chip = plug("VQ5A0001", 1);
  SteadyClock clock;
  runTicks(state, *api, clock, *chip);
  api.reset();
  ::dlclose(standIn);
}
BENCHMARK(BM_TickThroughD2xx)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10)->Repetitions(3);

}  // namespace
}  // namespace tolvane::hw

BENCHMARK_MAIN();
