#include "roi/roi_map_view.h"

#include <cmath>
#include <cstdio>

#include "xfit/kratio_map.h"

namespace tolvane {

RoiMapTile roiMapTile(const RoiMaps& maps, size_t index) {
  const RoiMap& map = maps.maps()[index];
  RoiMapTile tile;
  tile.width = maps.width();
  tile.height = maps.height();
  tile.range = roiMapRange(map.net);
  tile.rgb.resize(map.net.size());
  for (size_t p = 0; p < map.net.size(); ++p) {
    const PixelState state = maps.states()[p];
    tile.rgb[p] = state == PixelState::Value   ? mapColour(map.net[p], {tile.range.low, tile.range.high})
                  : state == PixelState::Blank ? kBlankColour
                                               : kNotScannedColour;
  }
  return tile;
}

std::string roiMapHoverText(const RoiMaps& maps, size_t index, int32_t x, int32_t y) {
  char text[96];
  const int n = std::snprintf(text, sizeof text, "(%d, %d) ", x, y);
  if (x < 0 || y < 0 || x >= maps.width() || y >= maps.height()) return {};
  const RoiMap& map = maps.maps()[index];
  const size_t p = static_cast<size_t>(y) * static_cast<size_t>(maps.width()) + static_cast<size_t>(x);
  const PixelState state = maps.states()[p];
  if (state == PixelState::Blank) return std::string(text, static_cast<size_t>(n)) + "blank";
  if (state == PixelState::NotScanned) return std::string(text, static_cast<size_t>(n)) + "not scanned";
  std::snprintf(text + n, sizeof text - static_cast<size_t>(n), " %s %.0f \xC2\xB1 %.1f counts", map.roi.label.c_str(),
                static_cast<double>(map.net[p]), std::sqrt(std::max(static_cast<double>(map.variance[p]), 0.0)));
  return text;
}

}  // namespace tolvane
