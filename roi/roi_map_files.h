#pragma once
// An ROI map as files: 16-bit grey levels (one level per count of the net
// sum, held to 0 .. 65535) with a mask of the pixels that hold a value,
// CSV of the net and gross sums, and the file names they get.
#include <cstdint>
#include <string>
#include <vector>

#include "roi/roi_maps.h"

namespace tolvane {

std::vector<uint16_t> roiGreyLevels(const std::vector<float>& values);
// 255 where a pixel holds a value, 0 where it was not scanned or is blank.
std::vector<uint8_t> roiValueMask(const std::vector<float>& values);

// One line per row, one cell per pixel (%.9g); an empty cell where the
// pixel holds no value.
std::string roiMapCsv(const std::vector<float>& values, int32_t width, int32_t height);

// "roi" + the entry in two digits + "_" + the label with anything but
// letters, digits, '-' and '_' replaced by '_' ("roi01_Ca").
std::string roiMapStem(const MapRoi& roi);

// The smallest and largest value held (0 .. 0 when none).
struct RoiMapRange {
  double low = 0, high = 0;
  int64_t pixels = 0;  // pixels holding a value
  double mean = 0;
};
RoiMapRange roiMapRange(const std::vector<float>& values);

}  // namespace tolvane
