#pragma once
// ROI maps as pictures: the 16-bit grey map and its mask, and the
// false-colour map with a scale bar in counts, written as PNG files.
#include <QImage>
#include <string>

#include "roi/roi_maps.h"

namespace tolvane {

QImage roiGreyImage(const RoiMap& map, int32_t width, int32_t height);
QImage roiMaskImage(const RoiMap& map, int32_t width, int32_t height);
// Pixels not scanned or blank are grey; the bar's ends are labelled with
// the smallest and largest net sum in counts.
QImage roiColourImage(const RoiMap& map, int32_t width, int32_t height);

// Writes STEM_net16.png, STEM_net16_mask.png, STEM_net_colour.png into
// `folder`, each replacing its target in one step. False, with the reason,
// when one could not be written.
bool writeRoiMapPngs(const RoiMap& map, int32_t width, int32_t height, const std::string& folder, std::string* error);

}  // namespace tolvane
