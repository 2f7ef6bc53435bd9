// The quantitative fit: one fit with 16 standards on 4096 channels, and the
// batch kernel with 8 standards on 2048 channels, in memory and from files,
// on one core and on two.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "files/spectrum_file.h"
#include "xfit/batch_files.h"
#include "xfit/fit_quality_plan.h"
#include "xfit/mlsq_fit.h"
#include "xfit/standards_load.h"
#include "xfit/xfit_batch.h"

namespace tolvane {
namespace {

std::vector<int32_t> peakSpectrum(int channels, double centre, double height, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<int32_t> counts(static_cast<size_t>(channels));
  for (int c = 0; c < channels; ++c) {
    const double mean = 20 + height * std::exp(-0.5 * std::pow((c - centre) / 6.0, 2));
    counts[static_cast<size_t>(c)] = std::poisson_distribution<int32_t>(mean)(rng);
  }
  return counts;
}

void writeSpectrum(const std::string& path, const std::vector<int32_t>& counts) {
  SpectrumFileHeader h;
  h.setChannelCount(static_cast<int16_t>(counts.size()));
  const auto bytes = encodeSpectrumFile(h, counts.data(), static_cast<int>(counts.size()));
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A folder with `standards` standard spectra and a table using them.
struct Library {
  Library(int standards, int channels) {
    folder = (std::filesystem::temp_directory_path() /
              ("tolvane-xfit-bench-" + std::to_string(::getpid()) + "-" + std::to_string(standards)))
                 .string();
    std::filesystem::create_directories(folder);
    StandardTable table;
    const int spacing = (channels - 200) / standards;
    for (int k = 0; k < standards; ++k) {
      const int centre = 100 + spacing * k + spacing / 2;
      const std::string name = "std" + std::to_string(k) + ".dat";
      writeSpectrum(folder + "/" + name, peakSpectrum(channels, centre, 5000, static_cast<uint32_t>(k)));
      StandardRecord& r = table.Records[static_cast<size_t>(k)];
      r.setInUse(1);
      r.setElemName("E" + std::to_string(k));
      r.setSpecFile(name);
      r.setFitLowCh(centre - 30);
      r.setFitHighCh(centre + 30);
      centres.push_back(centre);
    }
    if (!SaveStandardTableFile(table, folder + "/table.ref")) std::abort();
    if (!LoadStandardTable(module, folder + "/table.ref").loaded()) std::abort();
  }
  ~Library() { std::filesystem::remove_all(folder); }
  // `count` sample files of `channels` channels in the folder, s0.dat on.
  std::vector<std::string> sampleFiles(int count, int channels) const {
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
      paths.push_back(folder + "/s" + std::to_string(i) + ".dat");
      writeSpectrum(paths.back(), sample(channels, static_cast<uint32_t>(5000 + i)));
    }
    return paths;
  }
  std::vector<int32_t> sample(int channels, uint32_t seed) const {
    std::vector<int32_t> s(static_cast<size_t>(channels), 0);
    for (size_t k = 0; k < centres.size(); ++k) {
      const auto part =
          peakSpectrum(channels, centres[k], 1000 + 300 * static_cast<double>(k), seed + static_cast<uint32_t>(k));
      for (size_t c = 0; c < s.size(); ++c) s[c] += part[c];
    }
    return s;
  }
  std::string folder;
  std::vector<int> centres;
  TDmVQRN module;
};

void BM_MlsqFit16Standards4096(benchmark::State& state) {
  Library library(16, 4096);
  const auto sample = library.sample(4096, 99);
  XfitWorkspace& fit = library.module.Fit;
  std::copy(sample.begin(), sample.end(), fit.SampleCounts.begin());
  fit.SampleChannels = 4096;
  for (auto _ : state) {
    benchmark::DoNotOptimize(RunMlsqFit(library.module, true, {}));
    benchmark::DoNotOptimize(fit.FitCoefficients[0]);
  }
}

// Spectra per second of the batch kernel, 8 standards, 2048 channels, on
// `threads` threads each with its own kernel, on the vector path given
// (0 baseline x86-64, 1 AVX2, 2 AVX-512).
void BM_BatchInMemory8Standards2048(benchmark::State& state) {
  const int threads = static_cast<int>(state.range(0));
  const BatchPath path = kBatchPaths[state.range(1)];
  if (!batchPathRuns(path)) {
    state.SkipWithError("this CPU does not run the path");
    return;
  }
  state.SetLabel(batchPathName(path));
  Library library(8, 2048);
  std::vector<std::vector<int32_t>> samples;
  for (uint32_t i = 0; i < 64; ++i) samples.push_back(library.sample(2048, 1000 + 10 * i));
  constexpr int kPerThread = 20000;
  for (auto _ : state) {
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
      workers.emplace_back([&, t] {
        XfitBatch batch(library.module.Fit, path);
        const int lanes = batch.lanes();
        std::array<const int32_t*, 8> counts{};
        std::array<int32_t, 8> n{};
        std::array<BatchFit, 8> out{};
        for (int i = 0; i < kPerThread; i += lanes) {
          for (int k = 0; k < lanes; ++k) {
            counts[static_cast<size_t>(k)] = samples[static_cast<size_t>((i + k + t) % 64)].data();
            n[static_cast<size_t>(k)] = 2048;
          }
          batch.fitGroup(counts.data(), n.data(), lanes, out.data());
        }
        benchmark::DoNotOptimize(out[0].coefficients[0]);
      });
    for (auto& w : workers) w.join();
  }
  state.counters["spectra/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * threads * kPerThread, benchmark::Counter::kIsRate);
}

// The same from 2000 spectrum files (in the page cache after the first
// pass), through the file pipeline on `threads` workers.
void BM_BatchFromFiles8Standards2048(benchmark::State& state) {
  Library library(8, 2048);
  constexpr int kFiles = 2000;
  const std::vector<std::string> paths = library.sampleFiles(kFiles, 2048);
  BatchFileOptions options;
  options.workers = static_cast<int>(state.range(0));
  std::vector<BatchFileResult> results;
  for (auto _ : state) {
    benchmark::DoNotOptimize(fitSpectrumFiles(library.module.Fit, paths, results, options));
    benchmark::DoNotOptimize(results[0].fit.coefficients[0]);
  }
  state.SetLabel(batchPathName(options.path));
  state.counters["spectra/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kFiles, benchmark::Counter::kIsRate);
}

// One core, the widest vector path, in memory: the fit alone (0) and the
// fit with each spectrum's quality assessed (1), the table's share of the
// assessment planned once, as the batch does.
void BM_BatchInMemoryQuality8Standards2048(benchmark::State& state) {
  const bool quality = state.range(0) != 0;
  Library library(8, 2048);
  std::vector<std::vector<int32_t>> samples;
  for (uint32_t i = 0; i < 64; ++i) samples.push_back(library.sample(2048, 1000 + 10 * i));
  XfitBatch batch(library.module.Fit);
  FitQualityPlan plan(library.module.Fit);
  const int lanes = batch.lanes();
  constexpr int kSpectra = 8000;
  std::array<const int32_t*, 8> counts{};
  std::array<int32_t, 8> n{};
  std::array<BatchFit, 8> out{};
  double sum = 0.0;
  for (auto _ : state) {
    for (int i = 0; i < kSpectra; i += lanes) {
      for (int k = 0; k < lanes; ++k) {
        counts[static_cast<size_t>(k)] = samples[static_cast<size_t>((i + k) % 64)].data();
        n[static_cast<size_t>(k)] = 2048;
      }
      batch.fitGroup(counts.data(), n.data(), lanes, out.data());
      if (quality)
        for (int k = 0; k < lanes; ++k)
          sum += plan.assess(out[static_cast<size_t>(k)].coefficients, out[static_cast<size_t>(k)].errors,
                             counts[static_cast<size_t>(k)], 2048, false)
                     .chi2;
    }
    benchmark::DoNotOptimize(out[0].coefficients[0]);
    benchmark::DoNotOptimize(sum);
  }
  state.SetLabel(quality ? "with quality" : "fit only");
  state.counters["spectra/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kSpectra, benchmark::Counter::kIsRate);
}

// The same files with each fit's quality assessed too (chi-square and
// flags, as the command line's CSV writes them).
void BM_BatchFromFilesWithQuality8Standards2048(benchmark::State& state) {
  Library library(8, 2048);
  constexpr int kFiles = 2000;
  const std::vector<std::string> paths = library.sampleFiles(kFiles, 2048);
  BatchFileOptions options;
  options.workers = static_cast<int>(state.range(0));
  options.assessQuality = true;
  std::vector<BatchFileResult> results;
  for (auto _ : state) {
    benchmark::DoNotOptimize(fitSpectrumFiles(library.module.Fit, paths, results, options));
    benchmark::DoNotOptimize(results[0].quality.chi2);
  }
  state.counters["spectra/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kFiles, benchmark::Counter::kIsRate);
}

// The file pipeline's reads alone: open, one read, close, per file.
void BM_ReadSpectrumFiles2048(benchmark::State& state) {
  Library library(1, 2048);
  constexpr int kFiles = 2000;
  const std::vector<std::string> paths = library.sampleFiles(kFiles, 2048);
  SpectrumFileSlot slot;
  for (auto _ : state)
    for (const auto& p : paths) {
      benchmark::DoNotOptimize(slot.read(p));
      benchmark::DoNotOptimize(slot.counts()[0]);
    }
  state.counters["files/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kFiles, benchmark::Counter::kIsRate);
}

// Independent double divisions, as the kernel's window sums issue them:
// one at a time (scalar), 2 at a time (SSE2) and 4 at a time (AVX2). The
// ceiling for the kernel is its divisions per spectrum over this rate.
using Doubles4 = double __attribute__((vector_size(32)));
using Doubles2 = double __attribute__((vector_size(16)));

[[gnu::noinline]] void divideScalar(const double* a, const double* b, double* out, int n) {
  for (int i = 0; i < n; ++i) {
    double x = a[i];
    benchmark::DoNotOptimize(x);
    out[i] = x / b[i];
  }
}
[[gnu::noinline]] void divideSse2(const Doubles2* a, const Doubles2* b, Doubles2* out, int n) {
  for (int i = 0; i < n; ++i) out[i] = a[i] / b[i];
}
[[gnu::noinline, gnu::target("avx2")]] void divideAvx2(const Doubles4* a, const Doubles4* b, Doubles4* out, int n) {
  for (int i = 0; i < n; ++i) out[i] = a[i] / b[i];
}

void BM_DoubleDivisions(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  if (width == 4 && !batchPathRuns(BatchPath::Avx2)) {
    state.SkipWithError("no AVX2");
    return;
  }
  constexpr int kN = 1024;
  alignas(64) static double a[kN], b[kN], out[kN];
  for (int i = 0; i < kN; ++i) {
    a[i] = 1.0 + i;
    b[i] = 3.0 + 0.5 * i;
  }
  for (auto _ : state) {
    if (width == 1) divideScalar(a, b, out, kN);
    if (width == 2)
      divideSse2(reinterpret_cast<const Doubles2*>(a), reinterpret_cast<const Doubles2*>(b),
                 reinterpret_cast<Doubles2*>(out), kN / 2);
    if (width == 4)
      divideAvx2(reinterpret_cast<const Doubles4*>(a), reinterpret_cast<const Doubles4*>(b),
                 reinterpret_cast<Doubles4*>(out), kN / 4);
    benchmark::DoNotOptimize(out[7]);
  }
  state.counters["divisions/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kN, benchmark::Counter::kIsRate);
}

BENCHMARK(BM_MlsqFit16Standards4096)->Unit(benchmark::kMicrosecond);
// Rates per second of wall time (real_time), and per second of the
// process's CPU time (cpu_time): on a busy machine the second still tells
// what one core does.
BENCHMARK(BM_BatchInMemory8Standards2048)
    ->ArgsProduct({{1, 2}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_BatchInMemory8Standards2048)
    ->ArgsProduct({{1}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Name("BM_BatchInMemory8Standards2048/cpu_time");
BENCHMARK(BM_BatchFromFiles8Standards2048)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BatchFromFiles8Standards2048)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Name("BM_BatchFromFiles8Standards2048/cpu_time");
BENCHMARK(BM_BatchFromFilesWithQuality8Standards2048)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BatchFromFilesWithQuality8Standards2048)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Name("BM_BatchFromFilesWithQuality8Standards2048/cpu_time");
BENCHMARK(BM_BatchInMemoryQuality8Standards2048)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();
BENCHMARK(BM_ReadSpectrumFiles2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DoubleDivisions)->Arg(1)->Arg(2)->Arg(4);

}  // namespace
}  // namespace tolvane
