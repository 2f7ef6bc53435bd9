#pragma once
// The plot's line markers from the session: the "Lines" field's elements
// at the current view, when the box is on and the calibration places them.
#include <vector>

#include "lines/line_markers.h"

namespace tolvane {

class EngineState;
struct ColumnMapping;
struct LinesSetup;

// Brings the kept lines of the "Lines" field up to date with the field and
// the excitation energy; run before the plot is built so the build can
// use them without working them out again.
void refreshMarkedLines(LinesSetup& lines);

// The markers for a plot of `width` x `height` with this column mapping.
// Reads the state only: when the kept lines do not match the field,
// they are worked out for this build alone.
std::vector<LineMarker> plotLineMarkers(const EngineState& state, const ColumnMapping& mapping, int32_t width,
                                        int32_t height);

}  // namespace tolvane
