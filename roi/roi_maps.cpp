#include "roi/roi_maps.h"

#include <limits>

#include "roi/roi_net.h"
#include "roi/roi_sums.h"

namespace tolvane {

RoiMaps::RoiMaps(int32_t width, int32_t height, std::vector<MapRoi> rois, std::optional<MapRoi> blankReference)
    : width_(width), height_(height), blankReference_(std::move(blankReference)) {
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  const float none = std::numeric_limits<float>::quiet_NaN();
  for (MapRoi& roi : rois)
    maps_.push_back({std::move(roi), std::vector<float>(pixels, none), std::vector<float>(pixels, none),
                     std::vector<float>(pixels, none)});
  states_.assign(pixels, PixelState::NotScanned);
}

void RoiMaps::addPixel(int64_t pixel, const int32_t* counts, int32_t channels) {
  if (pixel < 0 || pixel >= static_cast<int64_t>(states_.size())) return;
  const auto p = static_cast<size_t>(pixel);
  if (blankReference_ &&
      roiGrossSum(counts, channels, blankReference_->low, blankReference_->high) == 0.0f) {
    states_[p] = PixelState::Blank;
    const float none = std::numeric_limits<float>::quiet_NaN();
    for (RoiMap& map : maps_) map.net[p] = map.gross[p] = map.variance[p] = none;
    return;
  }
  states_[p] = PixelState::Value;
  for (RoiMap& map : maps_) {
    const RoiNetSums sums = roiNetSums(counts, channels, map.roi.low, map.roi.high);
    map.net[p] = sums.net;
    map.gross[p] = sums.gross;
    map.variance[p] = static_cast<float>(sums.variance);
  }
}

}  // namespace tolvane
