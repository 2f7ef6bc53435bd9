// Element maps: updating the ROI maps for one pass, and the sum spectrum
// of a region of a map held in memory.
#include <benchmark/benchmark.h>

#include <random>

#include "files/map_region_sum.h"
#include "roi/roi_maps.h"

namespace tolvane {
namespace {

// Eight ROIs of 30 channels over a 4096-channel pass of a 256 x 256 map.
void BM_RoiMapsOnePass4096(benchmark::State& state) {
  std::vector<MapRoi> rois;
  for (int i = 0; i < 8; ++i) rois.push_back({i + 1, "R", 300 + 60 * i, 330 + 60 * i});
  RoiMaps maps(256, 256, rois, MapRoi{0, "", 100, 3000});
  std::vector<int32_t> counts(4096);
  std::mt19937 rng(1);
  for (int32_t& c : counts) c = static_cast<int32_t>(rng() % 50);
  int64_t pixel = 0;
  for (auto _ : state) {
    maps.addPixel(pixel, counts.data(), 4096);
    pixel = (pixel + 1) % (256 * 256);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_RoiMapsOnePass4096);

// A quarter (128 x 128 pixels) of a 256 x 256 x 2048 map in memory. Only
// the rows the region covers are filled; the rest of the map is never
// read.
void BM_RegionSumQuarterOf256x256x2048(benchmark::State& state) {
  constexpr int32_t kSide = 256, kChannels = 2048;
  std::vector<uint32_t> cube(static_cast<size_t>(kSide) * kSide * kChannels / 2);  // rows 0..127
  std::mt19937 rng(2);
  for (uint32_t& c : cube) c = rng() % 20;
  const std::vector<uint8_t> recorded(static_cast<size_t>(kSide) * kSide, 1);
  const std::vector<double> times(recorded.size(), 0.1);
  for (auto _ : state) {
    RegionSum sum = sumRegion(cube.data(), kSide, kChannels, recorded.data(), times.data(), times.data(),
                              {64, 0, 191, 127});
    benchmark::DoNotOptimize(sum.counts.data());
  }
}
BENCHMARK(BM_RegionSumQuarterOf256x256x2048)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tolvane
