#include "xfit/kratio_map.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>

namespace tolvane {

std::optional<MapSize> parseMapSize(const std::string& text) {
  const auto x = text.find_first_of("xX");
  if (x == std::string::npos) return std::nullopt;
  const auto number = [](const std::string& digits) -> int32_t {
    if (digits.empty() || digits.size() > 5) return 0;
    int32_t value = 0;
    for (char c : digits) {
      if (c < '0' || c > '9') return 0;
      value = value * 10 + (c - '0');
    }
    return value <= 65535 ? value : 0;
  };
  const MapSize size{number(text.substr(0, x)), number(text.substr(x + 1))};
  if (size.width < 1 || size.height < 1) return std::nullopt;
  return size;
}

std::vector<KratioMap> kratioMaps(const XfitWorkspace& fit, MapSize size, const std::vector<BatchFileResult>& results) {
  std::vector<KratioMap> maps;
  for (int k = 0; k < fit.FitCount; ++k) {
    KratioMap& map = maps.emplace_back();
    map.size = size;
    map.record = fit.SelectedIndex[static_cast<size_t>(k)];
    map.element = fit.SelectedCopy[static_cast<size_t>(k)].elemName();
    map.kratioPct.reserve(results.size());
    for (const BatchFileResult& r : results)
      map.kratioPct.push_back(
          r.status == BatchFileStatus::Fitted
              ? static_cast<double>(static_cast<float>(r.fit.coefficients[static_cast<size_t>(k)] * 100))
              : std::numeric_limits<double>::quiet_NaN());
  }
  return maps;
}

std::vector<uint16_t> kratioGreyLevels(const KratioMap& map) {
  std::vector<uint16_t> grey(map.kratioPct.size(), 0);
  for (size_t i = 0; i < grey.size(); ++i) {
    const double k = map.kratioPct[i];
    if (!std::isfinite(k)) continue;
    grey[i] = static_cast<uint16_t>(std::clamp(std::round(k * kGreyLevelsPerPercent), 0.0, 65535.0));
  }
  return grey;
}

std::vector<uint8_t> kratioFittedMask(const KratioMap& map) {
  std::vector<uint8_t> mask(map.kratioPct.size(), 0);
  for (size_t i = 0; i < mask.size(); ++i)
    if (std::isfinite(map.kratioPct[i])) mask[i] = kFittedMaskLevel;
  return mask;
}

ColourRange colourRange(const KratioMap& map) {
  ColourRange range;
  bool any = false;
  for (double k : map.kratioPct) {
    if (!std::isfinite(k)) continue;
    range.low = any ? std::min(range.low, k) : k;
    range.high = any ? std::max(range.high, k) : k;
    any = true;
  }
  return range;
}

uint32_t scaleColour(double t) {
  // Five stops of a perceptually even scale, joined by straight lines.
  static constexpr std::array<uint32_t, 5> kStops = {0x440154, 0x3B528B, 0x21918C, 0x5EC962, 0xFDE725};
  if (!(t > 0)) t = 0;
  if (t > 1) t = 1;
  const double place = t * (kStops.size() - 1);
  const auto k = std::min(static_cast<size_t>(place), kStops.size() - 2);
  const double f = place - static_cast<double>(k);
  uint32_t colour = 0;
  for (int shift : {16, 8, 0}) {
    const double a = (kStops[k] >> shift) & 0xFF, b = (kStops[k + 1] >> shift) & 0xFF;
    colour |= static_cast<uint32_t>(std::lround(a + (b - a) * f)) << shift;
  }
  return colour;
}

uint32_t mapColour(double kratioPct, ColourRange range) {
  if (!std::isfinite(kratioPct)) return kNotFittedColour;
  const double span = range.high - range.low;
  return scaleColour(span > 0 ? (kratioPct - range.low) / span : 0.5);
}

ColourMapLayout colourMapLayout(MapSize size) {
  ColourMapLayout l;
  l.cell = std::clamp(480 / std::max(size.width, size.height), 1, 32);
  l.mapWidth = l.cell * size.width;
  l.mapHeight = l.cell * size.height;
  l.height = std::max(l.mapHeight, 160);
  l.barLeft = l.mapWidth + 12;
  l.barTop = 20;
  l.barWidth = 16;
  l.barHeight = l.height - 2 * l.barTop;
  l.labelLeft = l.barLeft + l.barWidth + 6;
  l.width = l.labelLeft + 96;
  return l;
}

std::string kratioMapCsv(const KratioMap& map) {
  std::string csv;
  char cell[32];
  for (int32_t y = 0; y < map.size.height; ++y) {
    for (int32_t x = 0; x < map.size.width; ++x) {
      if (x > 0) csv += ',';
      const double k =
          map.kratioPct[static_cast<size_t>(y) * static_cast<size_t>(map.size.width) + static_cast<size_t>(x)];
      if (!std::isfinite(k)) continue;
      std::snprintf(cell, sizeof cell, "%.9g", k);
      csv += cell;
    }
    csv += '\n';
  }
  return csv;
}

std::string kratioMapStem(const KratioMap& map) {
  char number[16];
  std::snprintf(number, sizeof number, "%02d", map.record + 1);
  std::string stem = std::string("std") + number + "_";
  for (char c : map.element) {
    const bool plain =
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    stem += plain ? c : '_';
  }
  return stem;
}

}  // namespace tolvane
