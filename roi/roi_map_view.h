#pragma once
// What the map view shows of an ROI map, apart from drawing it: the colour
// of each pixel on the perceptual scale between the map's smallest and
// largest net sum (grey where no value), the scale's end values, and the
// text of a pixel under the mouse: its place, its net sum and the sum's
// Poisson sigma.
#include <cstdint>
#include <string>
#include <vector>

#include "roi/roi_map_files.h"
#include "roi/roi_maps.h"

namespace tolvane {

struct RoiMapTile {
  int32_t width = 0, height = 0;
  std::vector<uint32_t> rgb;  // 0xRRGGBB per pixel, raster order
  RoiMapRange range;
};

// Pixels not scanned and blank pixels are drawn in these greys.
inline constexpr uint32_t kNotScannedColour = 0x808080;
inline constexpr uint32_t kBlankColour = 0x404040;

RoiMapTile roiMapTile(const RoiMaps& maps, size_t map);

// "(12, 7)  Ca 153 ± 12.6 counts", "(12, 7) blank", "(12, 7) not scanned".
std::string roiMapHoverText(const RoiMaps& maps, size_t map, int32_t x, int32_t y);

}  // namespace tolvane
