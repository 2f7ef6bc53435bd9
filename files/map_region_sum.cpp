#include "files/map_region_sum.h"

#include <algorithm>
#include <charconv>

#include "files/map_file_reader.h"

namespace tolvane {

namespace {

// Adds one row of the region (cols pixels from x0) to the sum.
void addRow(const uint32_t* row, int32_t cols, int32_t channels, const uint8_t* recorded, const double* live,
            const double* real, RegionSum& sum) {
  uint64_t* out = sum.counts.data();
  for (int32_t x = 0; x < cols; ++x) {
    if (!recorded[x]) continue;
    const uint32_t* spectrum = row + static_cast<size_t>(x) * static_cast<size_t>(channels);
    for (int32_t c = 0; c < channels; ++c) out[c] += spectrum[c];
    sum.liveTimeS += live[x];
    sum.realTimeS += real[x];
    ++sum.pixels;
  }
}

}  // namespace

bool parseMapRegion(const std::string& text, MapRegion& region) {
  int32_t v[4];
  const char* p = text.data();
  const char* end = text.data() + text.size();
  for (int i = 0; i < 4; ++i) {
    auto [next, ec] = std::from_chars(p, end, v[i]);
    if (ec != std::errc() || v[i] < 0) return false;
    p = next;
    if (i < 3) {
      if (p == end || *p != ':') return false;
      ++p;
    }
  }
  if (p != end) return false;
  region = {std::min(v[0], v[2]), std::min(v[1], v[3]), std::max(v[0], v[2]), std::max(v[1], v[3])};
  return true;
}

RegionSum sumRegion(const uint32_t* cube, int32_t width, int32_t channels, const uint8_t* recorded,
                    const double* liveTimeS, const double* realTimeS, MapRegion r) {
  RegionSum sum;
  sum.counts.assign(static_cast<size_t>(channels), 0);
  const int32_t cols = r.x1 - r.x0 + 1;
  for (int32_t y = r.y0; y <= r.y1; ++y) {
    const size_t first = static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(r.x0);
    addRow(cube + first * static_cast<size_t>(channels), cols, channels, recorded + first, liveTimeS + first,
           realTimeS + first, sum);
  }
  return sum;
}

bool sumRegion(const MapFileReader& reader, MapRegion r, RegionSum& sum, std::string& error) {
  if (r.x1 >= reader.width() || r.y1 >= reader.height() || r.x0 < 0 || r.y0 < 0) {
    error = "the region " + std::to_string(r.x0) + ":" + std::to_string(r.y0) + ":" + std::to_string(r.x1) + ":" +
            std::to_string(r.y1) + " leaves the " + std::to_string(reader.width()) + "x" +
            std::to_string(reader.height()) + " map";
    return false;
  }
  const int32_t channels = reader.channels();
  const int32_t cols = r.x1 - r.x0 + 1;
  sum = RegionSum{};
  sum.counts.assign(static_cast<size_t>(channels), 0);
  std::vector<uint32_t> row(static_cast<size_t>(cols) * static_cast<size_t>(channels));
  for (int32_t y = r.y0; y <= r.y1; ++y) {
    if (!reader.readBlock(r.x0, y, cols, 1, row.data(), error)) return false;
    const size_t first = static_cast<size_t>(y) * static_cast<size_t>(reader.width()) + static_cast<size_t>(r.x0);
    addRow(row.data(), cols, channels, reader.recorded().data() + first, reader.liveTimeS().data() + first,
           reader.realTimeS().data() + first, sum);
  }
  return true;
}

}  // namespace tolvane
