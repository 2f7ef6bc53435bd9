#pragma once
// K-ratio maps of a raster of spectra (a stage scan, one spectrum per
// point, in raster order: the first row left to right, then the next):
// per standard, the K-ratio of every point as 16-bit grey levels, as
// false colours on a scale, and as CSV.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "xfit/batch_files.h"

namespace tolvane {

struct MapSize {
  int32_t width = 0;
  int32_t height = 0;
  int64_t points() const { return static_cast<int64_t>(width) * height; }
};

// "WxH" with whole numbers of at least 1 (up to 65535 each); nothing
// otherwise.
std::optional<MapSize> parseMapSize(const std::string& text);

// One standard's map: K-ratio in percent per point, in raster order; a
// point that could not be fitted is not a number.
struct KratioMap {
  MapSize size;
  int32_t record = 0;   // the standard's table record (0 .. 15)
  std::string element;  // its element label
  std::vector<double> kratioPct;
};

// Per selected standard, its map from batch results given in raster
// order (the K-ratio rounded to single precision, as the table keeps it).
std::vector<KratioMap> kratioMaps(const XfitWorkspace& fit, MapSize size, const std::vector<BatchFileResult>& results);

// One grey level per 0.01 % of K-ratio: round(K% x 100), held to 0 ..
// 65535; a point not fitted is 0.
inline constexpr double kGreyLevelsPerPercent = 100.0;
std::vector<uint16_t> kratioGreyLevels(const KratioMap& map);

// Which points have a value: the grey levels cannot tell a point not fitted
// from a K-ratio of 0 (or below), so a mask goes with them, 255 where the
// point was fitted and 0 where it was not.
inline constexpr uint8_t kFittedMaskLevel = 255;
std::vector<uint8_t> kratioFittedMask(const KratioMap& map);

// The range the false colours span: the smallest and largest fitted value
// (0 .. 0 when none was fitted).
struct ColourRange {
  double low = 0;
  double high = 0;
};
ColourRange colourRange(const KratioMap& map);

// The colour scale, dark blue through green to yellow, as 0xRRGGBB for a
// place t in 0 .. 1 (held to that range).
uint32_t scaleColour(double t);
// The colour of a value in the range; points not fitted are grey.
inline constexpr uint32_t kNotFittedColour = 0x808080;
uint32_t mapColour(double kratioPct, ColourRange range);

// The false-colour picture: each point a square of `cell` pixels from the
// top left, then the scale bar (the high end at its top) and, right of it,
// the labels.
struct ColourMapLayout {
  int cell = 1;
  int mapWidth = 0, mapHeight = 0;
  int barLeft = 0, barTop = 0, barWidth = 0, barHeight = 0;
  int labelLeft = 0;
  int width = 0, height = 0;
};
ColourMapLayout colourMapLayout(MapSize size);

// The map as CSV: one line per raster row, one cell per point, the K-ratio
// in percent with 9 significant digits; an empty cell where not fitted.
std::string kratioMapCsv(const KratioMap& map);

// The start of the map's file names: "std" + the record number from 1 in
// two digits + "_" + the element label with anything but letters, digits,
// '-' and '_' replaced by '_'.
std::string kratioMapStem(const KratioMap& map);

}  // namespace tolvane
