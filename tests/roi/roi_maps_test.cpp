// ROI maps (net and gross per pixel, blank pixels), their files, and region
// sums from memory and from a map file.
#include <gtest/gtest.h>

#include <cmath>

#include "files/map_file.h"
#include "files/map_file_reader.h"
#include "files/map_region_sum.h"
#include "roi/roi_map_files.h"
#include "roi/roi_maps.h"
#include "roi/roi_net.h"
#include "test_support.h"

namespace tolvane {
namespace {

std::vector<int32_t> ramp(int channels, int scale) {
  std::vector<int32_t> counts(static_cast<size_t>(channels));
  for (int c = 0; c < channels; ++c) counts[static_cast<size_t>(c)] = scale * (c % 7 + 1);
  return counts;
}

TEST(RoiMaps, EachPixelHoldsTheNetAndGrossTheRoiSumsForm) {
  RoiMaps maps(3, 2, {{1, "A", 4, 10}, {2, "B", 20, 20}}, std::nullopt);
  const std::vector<int32_t> counts = ramp(32, 3);
  maps.addPixel(4, counts.data(), 32);
  maps.addPixel(6, counts.data(), 32);   // outside: ignored
  maps.addPixel(-1, counts.data(), 32);  // likewise
  const RoiNetSums expected = roiNetSums(counts.data(), 32, 4, 10);
  EXPECT_EQ(maps.maps()[0].net[4], expected.net);
  EXPECT_EQ(maps.maps()[0].gross[4], expected.gross);
  EXPECT_EQ(maps.maps()[1].gross[4], 0.0f);  // no channel in the window
  EXPECT_EQ(maps.state(1, 1), PixelState::Value);
  EXPECT_EQ(maps.state(0, 0), PixelState::NotScanned);
  EXPECT_TRUE(std::isnan(maps.maps()[0].net[0]));
}

TEST(RoiMaps, SkipBlankLeavesPixelsWithoutReferenceCountsWithoutValue) {
  RoiMaps maps(2, 1, {{1, "A", 0, 5}}, MapRoi{0, "", 10, 12});
  std::vector<int32_t> counts = ramp(16, 1);
  counts[10] = counts[11] = 0;
  maps.addPixel(0, counts.data(), 16);
  counts[11] = 1;
  maps.addPixel(1, counts.data(), 16);
  EXPECT_EQ(maps.state(0, 0), PixelState::Blank);
  EXPECT_TRUE(std::isnan(maps.maps()[0].net[0]) && std::isnan(maps.maps()[0].gross[0]));
  EXPECT_EQ(maps.state(1, 0), PixelState::Value);
}

TEST(RoiMapFiles, GreyLevelsMaskCsvAndNames) {
  const float none = std::nanf("");
  const std::vector<float> values = {-3.0f, 12.4f, 70000.0f, none};
  EXPECT_EQ(roiGreyLevels(values), (std::vector<uint16_t>{0, 12, 65535, 0}));
  EXPECT_EQ(roiValueMask(values), (std::vector<uint8_t>{255, 255, 255, 0}));
  EXPECT_EQ(roiMapCsv(values, 2, 2), "-3,12.3999996\n70000,\n");
  EXPECT_EQ(roiMapStem({3, "K/a b", 0, 1}), "roi03_K_a_b");
  const RoiMapRange range = roiMapRange(values);
  EXPECT_EQ(range.pixels, 3);
  EXPECT_EQ(range.low, -3.0);
  EXPECT_EQ(range.high, 70000.0);
}

TEST(MapRegionSum, ParsesCornersInAnyOrderAndRefusesTheRest) {
  MapRegion r;
  ASSERT_TRUE(parseMapRegion("5:1:2:3", r));
  EXPECT_EQ(r.x0, 2);
  EXPECT_EQ(r.y0, 1);
  EXPECT_EQ(r.x1, 5);
  EXPECT_EQ(r.y1, 3);
  for (const char* bad : {"", "1:2:3", "1:2:3:4:5", "-1:0:1:1", "a:0:1:1", "1:2:3:4x"})
    EXPECT_FALSE(parseMapRegion(bad, r)) << bad;
}

TEST(MapRegionSum, FileAndMemoryGiveTheSameSumOfRecordedPixelsOnly) {
  testing::TempDir dir;
  MapFileSetup s;
  s.width = 4;
  s.height = 3;
  s.channels = 8;
  std::string error;
  auto w = MapFileWriter::create(dir.path("m.nxs"), s, error);
  ASSERT_TRUE(w) << error;
  std::vector<uint32_t> cube(4 * 3 * 8, 0);
  std::vector<uint8_t> recorded(12, 0);
  std::vector<double> live(12, 0), real(12, 0);
  for (int64_t p = 0; p < 10; ++p) {
    if (p == 5) continue;  // a lost pass
    for (int c = 0; c < 8; ++c) cube[static_cast<size_t>(p * 8 + c)] = static_cast<uint32_t>(p * 10 + c);
    recorded[static_cast<size_t>(p)] = 1;
    live[static_cast<size_t>(p)] = 0.1 * static_cast<double>(p);
    real[static_cast<size_t>(p)] = 1.0;
    ASSERT_TRUE(w->appendPass({p, &cube[static_cast<size_t>(p * 8)], live[static_cast<size_t>(p)], 1.0, ""}, error));
  }
  w.reset();
  auto reader = MapFileReader::open(dir.path("m.nxs"), error);
  ASSERT_TRUE(reader) << error;
  const MapRegion region{1, 1, 2, 2};  // pixels 5, 6, 9, 10: 6 and 9 recorded
  const RegionSum memory = sumRegion(cube.data(), 4, 8, recorded.data(), live.data(), real.data(), region);
  RegionSum file;
  ASSERT_TRUE(sumRegion(*reader, region, file, error)) << error;
  EXPECT_EQ(memory.pixels, 2);
  EXPECT_EQ(memory.counts[3], 63u + 93u);
  EXPECT_DOUBLE_EQ(memory.liveTimeS, 0.6 + 0.9);
  EXPECT_EQ(memory.realTimeS, 2.0);
  EXPECT_EQ(file.counts, memory.counts);
  EXPECT_EQ(file.pixels, memory.pixels);
  EXPECT_DOUBLE_EQ(file.liveTimeS, memory.liveTimeS);
  EXPECT_FALSE(sumRegion(*reader, {0, 0, 4, 0}, file, error));
  EXPECT_NE(error.find("leaves the 4x3 map"), std::string::npos) << error;
}

}  // namespace
}  // namespace tolvane
