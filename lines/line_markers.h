#pragma once
// The line markers of the plot: for each element of the "Lines" field, a
// vertical line at each of its lines' channels, as tall as the line's
// relative intensity in its family, labelled once per line group ("Fe Kα")
// and coloured per element; escape and sum peaks dashed.
#include <cstdint>
#include <string>
#include <vector>

#include "records/shared_records.h"
#include "lines/line_data.h"
#include "lines/peak_search.h"

namespace tolvane {

struct LineMarker {
  double channel = 0.0;  // where the line falls, as a channel position
  int32_t x = 0;         // plot column
  int32_t topRow = 0;    // the line runs from the bottom row up to here
  Colour24 colour = kWhite;
  bool dashed = false;
  double relative = 0.0;
  std::string label;  // UTF-8; empty for a line that shares its group's label
  int32_t labelX = 0, labelY = 0;
  bool operator==(const LineMarker&) const = default;
};

// Markers are drawn in this colour order, one colour per element.
Colour24 elementColour(size_t index);

// The lines to mark for these elements, with the escape and sum peaks.
struct MarkedLine {
  XrayLine line;
  size_t elementIndex = 0;
  bool labelled = false;  // the strongest of its element's group
};
std::vector<MarkedLine> markedLines(const std::vector<int>& elements, double maxKev);

// Height of a marker in a plot of `height` rows: the family's strongest
// line reaches 60 %, the faintest still shows a few rows. On a log axis
// the height follows the axis: log10(relative) decades below the strongest.
int32_t markerHeight(double relative, int32_t height, bool logScale = false);

// Markers for the plot columns of channels first .. first + span, with
// `channelsPerColumn` > 0 when compressed or `pixelsPerChannel` when
// expanded (the plot's column mapping). Lines outside the view are left out;
// labels that would overlap are moved up.
struct MarkerView {
  int32_t first = 0;
  int32_t stride = 1;  // the column mapping's signed stride
  int32_t pixelsPerChannel = 0;
  int32_t width = 0, height = 0;
  bool logScale = false;  // the count axis: marker heights follow it
};
std::vector<LineMarker> placeMarkers(const std::vector<MarkedLine>& lines, const EnergyScale& scale,
                                     const MarkerView& view);

}  // namespace tolvane
