#include "roi/roi_maps_from_file.h"

#include "files/map_file_reader.h"

namespace tolvane {

bool addMapFilePixels(const MapFileReader& reader, RoiMaps& maps, std::string& error) {
  const int32_t w = reader.width(), channels = reader.channels();
  std::vector<uint32_t> row(static_cast<size_t>(w) * static_cast<size_t>(channels));
  for (int32_t y = 0; y < reader.height(); ++y) {
    if (!reader.readBlock(0, y, w, 1, row.data(), error)) return false;
    for (int32_t x = 0; x < w; ++x) {
      const int64_t pixel = int64_t{y} * w + x;
      if (!reader.recorded()[static_cast<size_t>(pixel)]) continue;
      // One pass of the analyser holds far fewer than 2^31 counts a channel.
      maps.addPixel(pixel, reinterpret_cast<const int32_t*>(row.data() + static_cast<size_t>(x) * channels), channels);
    }
  }
  return true;
}

}  // namespace tolvane
