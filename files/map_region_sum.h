#pragma once
// The sum spectrum of a rectangle of a map: the counts of its recorded
// pixels added channel by channel, with their summed live and real times,
// so the sum can be normalised by its live time.
#include <cstdint>
#include <string>
#include <vector>

namespace tolvane {

class MapFileReader;

struct MapRegion {
  int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // corners, both inclusive
};

struct RegionSum {
  std::vector<uint64_t> counts;
  double liveTimeS = 0.0;
  double realTimeS = 0.0;
  int64_t pixels = 0;  // recorded pixels summed
};

// "x0:y0:x1:y1" with whole numbers, the corners in any order.
bool parseMapRegion(const std::string& text, MapRegion& region);

// From a map held in memory, [Y][X][C]; `recorded` per pixel (raster
// order) tells which to add. The region must lie inside the map.
RegionSum sumRegion(const uint32_t* cube, int32_t width, int32_t channels, const uint8_t* recorded,
                    const double* liveTimeS, const double* realTimeS, MapRegion region);

// From a map file, reading the region row by row. False, with the reason,
// when the region leaves the map or a read fails.
bool sumRegion(const MapFileReader& reader, MapRegion region, RegionSum& sum, std::string& error);

}  // namespace tolvane
