#pragma once
// Draws the element line markers: each a one-pixel vertical line from the
// plot's bottom row up to its top row (every other three pixels for escape
// and sum peaks), its label in the window font above it.
#include <QFont>
#include <QImage>
#include <vector>

#include "lines/line_markers.h"

namespace tolvane {

void drawLineMarkers(QImage& image, const std::vector<LineMarker>& markers, const QFont& font);

}  // namespace tolvane
