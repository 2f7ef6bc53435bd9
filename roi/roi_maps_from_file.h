#pragma once
// ROI maps of every recorded pixel of a map file, read a row at a time.
#include <string>

#include "roi/roi_maps.h"

namespace tolvane {

class MapFileReader;

// Adds each recorded pixel of the file to `maps` (made for the file's
// size). False, with the reason, when a read fails.
bool addMapFilePixels(const MapFileReader& reader, RoiMaps& maps, std::string& error);

}  // namespace tolvane
