#include "display/residual_curve.h"

#include <algorithm>
#include <cmath>

#include "app/engine_state.h"
#include "display/plot_geometry.h"
#include "display/plot_mapping.h"

namespace tolvane {

std::vector<std::vector<CurvePoint>> residualCurve(const EngineState& s) {
  std::vector<std::vector<CurvePoint>> segments;
  const FitQuality& q = s.XfitQuality;
  if (!q.valid) return segments;
  const ColumnMapping mapping = columnMapping(s.Display.FirstShown, s.Display.LastShown, kPlotWidth);
  const double middle = kPlotHeight / 2.0, perSigma = kPlotHeight / 4.0 / 5.0;
  int32_t previous = -2;
  for (size_t i = 0; i < q.channels.size(); ++i) {
    const int32_t c = q.channels[i];
    if (c < s.Display.FirstShown || c > s.Display.LastShown || !(q.sigma[i] > 0)) {
      previous = -2;
      continue;
    }
    const int32_t column = columnOfChannel(c, s.Display.FirstShown, mapping);
    if (column < 0 || column >= kPlotWidth) {
      previous = -2;
      continue;
    }
    if (c != previous + 1) segments.emplace_back();
    previous = c;
    const double row = std::clamp(middle - q.residual[i] / q.sigma[i] * perSigma, 0.0, kPlotHeight - 1.0);
    segments.back().push_back({kPlotLeft + column, kPlotTop + static_cast<int32_t>(std::lround(row))});
  }
  return segments;
}

}  // namespace tolvane
