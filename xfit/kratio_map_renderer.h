#pragma once
// K-ratio maps as pictures and files: the 16-bit grey map, the
// false-colour map with its scale bar, and the CSV.
#include <QImage>
#include <string>

#include "xfit/kratio_map.h"

namespace tolvane {

// One 16-bit grey pixel per point (kratioGreyLevels).
QImage kratioGreyImage(const KratioMap& map);
// One 8-bit pixel per point: which points the grey map has a value for
// (kratioFittedMask).
QImage kratioMaskImage(const KratioMap& map);
// The false-colour picture laid out by colourMapLayout, with the scale's
// end values and the element written beside the bar.
QImage kratioColourImage(const KratioMap& map);

// The names the four files get in a folder.
struct KratioMapFiles {
  std::string grey, mask, colour, csv;
};
KratioMapFiles kratioMapFiles(const KratioMap& map, const std::string& folder);

// Writes the four files into `folder` (which must exist), each replacing
// its target in one step. False, with the reason, when one could not be
// written.
[[nodiscard]] bool writeKratioMapFiles(const KratioMap& map, const std::string& folder, std::string* error);

}  // namespace tolvane
