// The quantitative fit: one fit with 16 standards on 4096 channels, and the
// batch kernel with 8 standards on 2048 channels, in memory and from files,
// on one core and on two.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "files/spectrum_file.h"
#include "xfit/mlsq_fit.h"

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
    SaveStandardTableFile(table, folder + "/table.ref");
    LoadStandardTable(module, folder + "/table.ref");
  }
  ~Library() { std::filesystem::remove_all(folder); }
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
    RunMlsqFit(library.module, true, {});
    benchmark::DoNotOptimize(fit.FitCoefficients[0]);
  }
}

// Spectra per second of the batch kernel, 8 standards, 2048 channels, on
// `threads` threads each with its own kernel.
void BM_BatchInMemory8Standards2048(benchmark::State& state) {
  Library library(8, 2048);
  std::vector<std::vector<int32_t>> samples;
  for (uint32_t i = 0; i < 64; ++i) samples.push_back(library.sample(2048, 1000 + 10 * i));
  const int threads = static_cast<int>(state.range(0));
  constexpr int kPerThread = 20000;
  for (auto _ : state) {
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
      workers.emplace_back([&, t] {
        XfitBatch batch(library.module.Fit);
        std::array<double, kMaxStandards> coefficients{}, errors{};
        for (int i = 0; i < kPerThread; ++i)
          batch.fit(samples[static_cast<size_t>((i + t) % 64)].data(), 2048, coefficients, errors);
        benchmark::DoNotOptimize(coefficients[0]);
      });
    for (auto& w : workers) w.join();
  }
  state.counters["spectra/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * threads * kPerThread, benchmark::Counter::kIsRate);
}

void BM_BatchFromFiles8Standards2048(benchmark::State& state) {
  Library library(8, 2048);
  constexpr int kFiles = 2000;
  std::vector<std::string> paths;
  for (int i = 0; i < kFiles; ++i) {
    paths.push_back(library.folder + "/s" + std::to_string(i) + ".dat");
    writeSpectrum(paths.back(), library.sample(2048, static_cast<uint32_t>(5000 + i)));
  }
  const int threads = static_cast<int>(state.range(0));
  for (auto _ : state) {
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
      workers.emplace_back([&, t] {
        XfitBatch batch(library.module.Fit);
        std::vector<int32_t> counts(8192);
        std::array<double, kMaxStandards> coefficients{}, errors{};
        for (int i = t; i < kFiles; i += threads) {
          std::ifstream in(paths[static_cast<size_t>(i)], std::ios::binary);
          SpectrumFileHeader h;
          const int n = decodeSpectrumFile(in, h, counts.data(), 8192);
          batch.fit(counts.data(), n, coefficients, errors);
        }
        benchmark::DoNotOptimize(coefficients[0]);
      });
    for (auto& w : workers) w.join();
  }
  state.counters["spectra/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kFiles, benchmark::Counter::kIsRate);
}

BENCHMARK(BM_MlsqFit16Standards4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BatchInMemory8Standards2048)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BatchFromFiles8Standards2048)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tolvane
