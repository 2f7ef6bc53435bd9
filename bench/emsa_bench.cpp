// Writing and reading a 4096-channel EMSA/MSA file in memory (no disk).
#include <benchmark/benchmark.h>

#include "files/emsa_reader.h"
#include "files/emsa_writer.h"

namespace tolvane {
namespace {

ExportedSpectrum acquiredLike() {
  ExportedSpectrum e;
  e.counts.resize(4096);
  for (size_t c = 0; c < e.counts.size(); ++c) e.counts[c] = static_cast<uint32_t>((c * 7919) % 100000);
  e.unit = EnergyUnit::KeV;
  e.gain = 0.0100231f;
  e.offset = -0.0473f;
  e.liveTime = 987;
  e.realTime = 1003;
  return e;
}

void BM_EmsaWrite4096(benchmark::State& state) {
  const ExportedSpectrum e = acquiredLike();
  const auto form = state.range(0) ? EmsaDataForm::XY : EmsaDataForm::Y;
  for (auto _ : state) benchmark::DoNotOptimize(emsaText(e, form));
}
BENCHMARK(BM_EmsaWrite4096)->Arg(0)->Arg(1);

void BM_EmsaRead4096(benchmark::State& state) {
  const std::string text = emsaText(acquiredLike(), state.range(0) ? EmsaDataForm::XY : EmsaDataForm::Y);
  for (auto _ : state) benchmark::DoNotOptimize(readEmsa(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_EmsaRead4096)->Arg(0)->Arg(1);

}  // namespace
}  // namespace tolvane
