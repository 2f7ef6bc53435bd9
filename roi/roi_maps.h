#pragma once
// ROI maps of a mapped scan: per chosen ROI, its net and gross sum at each
// pixel, formed as the plot's ROI sums form them (roi/roi_net.h). A pixel
// holds no value until its pass is added; with "Skip Blank" a pixel whose
// blank reference (ROI #0) has a gross sum of 0 is blank and holds none
// either. Values are single precision, as the sums are.
#include <cstdint>
#include <optional>
#include <vector>

#include "records/map_roi.h"

namespace tolvane {

enum class PixelState : uint8_t { NotScanned = 0, Value = 1, Blank = 2 };

struct RoiMap {
  MapRoi roi;
  std::vector<float> net;    // per pixel, raster order; NaN where no value
  std::vector<float> gross;  // likewise
  std::vector<float> variance;  // Poisson variance of the net sum; NaN likewise
};

class RoiMaps {
 public:
  RoiMaps() = default;
  // `blankReference`: the ROI #0 window when "Skip Blank" is on.
  RoiMaps(int32_t width, int32_t height, std::vector<MapRoi> rois, std::optional<MapRoi> blankReference);

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  const std::vector<RoiMap>& maps() const { return maps_; }
  const std::vector<PixelState>& states() const { return states_; }
  PixelState state(int32_t x, int32_t y) const { return states_[index(x, y)]; }

  // Sums the pass's spectrum into every map at pixel `pixel` (raster
  // order); a pixel outside the map is ignored.
  void addPixel(int64_t pixel, const int32_t* counts, int32_t channels);

 private:
  size_t index(int32_t x, int32_t y) const { return static_cast<size_t>(y) * static_cast<size_t>(width_) + x; }

  int32_t width_ = 0, height_ = 0;
  std::vector<RoiMap> maps_;
  std::vector<PixelState> states_;
  std::optional<MapRoi> blankReference_;
};

}  // namespace tolvane
