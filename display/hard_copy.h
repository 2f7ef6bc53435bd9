#pragma once
#include "records/shared_records.h"

namespace tolvane {
// The plot's colours for the screen (light on black) or for a hard copy
// (black on white); returns the plot background that goes with them.
Colour24 usePlotColours(DisplayState& display, bool printing);
}  // namespace tolvane
