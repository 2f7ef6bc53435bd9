#pragma once
// The MLSQ fit's residual drawn over the plot when the analyst asks for
// it: each fit-window channel's residual divided by its standard deviation,
// zero at mid-height and 5 sigma (the flag's limit) a quarter of the
// picture above or below, in paint-box pixels. Channels outside the shown
// range are left out; a gap between windows starts a new segment.
#include <cstdint>
#include <vector>

namespace tolvane {

class EngineState;

struct CurvePoint {
  int32_t x = 0, y = 0;
};

std::vector<std::vector<CurvePoint>> residualCurve(const EngineState& state);

}  // namespace tolvane
