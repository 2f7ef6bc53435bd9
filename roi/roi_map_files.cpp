#include "roi/roi_map_files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tolvane {

std::vector<uint16_t> roiGreyLevels(const std::vector<float>& values) {
  std::vector<uint16_t> grey(values.size(), 0);
  for (size_t i = 0; i < values.size(); ++i)
    if (std::isfinite(values[i])) grey[i] = static_cast<uint16_t>(std::clamp(std::lround(values[i]), 0L, 65535L));
  return grey;
}

std::vector<uint8_t> roiValueMask(const std::vector<float>& values) {
  std::vector<uint8_t> mask(values.size(), 0);
  for (size_t i = 0; i < values.size(); ++i) mask[i] = std::isfinite(values[i]) ? 255 : 0;
  return mask;
}

std::string roiMapCsv(const std::vector<float>& values, int32_t width, int32_t height) {
  std::string csv;
  char cell[32];
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      if (x > 0) csv += ',';
      const float v = values[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
      if (!std::isfinite(v)) continue;
      std::snprintf(cell, sizeof cell, "%.9g", static_cast<double>(v));
      csv += cell;
    }
    csv += '\n';
  }
  return csv;
}

std::string roiMapStem(const MapRoi& roi) {
  char number[16];
  std::snprintf(number, sizeof number, "%02d", roi.index);
  std::string stem = std::string("roi") + number + "_";
  for (char c : roi.label) {
    const bool plain =
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    stem += plain ? c : '_';
  }
  return stem;
}

RoiMapRange roiMapRange(const std::vector<float>& values) {
  RoiMapRange r;
  double sum = 0;
  for (float v : values) {
    if (!std::isfinite(v)) continue;
    r.low = r.pixels ? std::min(r.low, double{v}) : v;
    r.high = r.pixels ? std::max(r.high, double{v}) : v;
    sum += v;
    ++r.pixels;
  }
  r.mean = r.pixels ? sum / static_cast<double>(r.pixels) : 0.0;
  return r;
}

}  // namespace tolvane
