#include "lines/report_line_markers.h"

#include <algorithm>
#include <cmath>

#include "app/engine_state.h"
#include "files/report_layout.h"
#include "lines/line_markers.h"
#include "lines/spectrum_lines.h"

namespace tolvane {

void addReportLineMarkers(const EngineState& s, ReportModel& m) {
  if (!s.Lines.Shown) return;
  const CalibrationCheck check = lineCalibration(s);
  if (check.error) return;
  const ReportGeometry& g = m.g;
  const int32_t lo = s.Display.FirstShown, hi = s.Display.LastShown;
  const int32_t r = std::max(hi - lo + 1, 1);
  if (g.YH <= 0 || g.XW <= 0) return;
  for (const MarkedLine& line : markedLines(parseElementList(s.Lines.Elements), s.Lines.MaxKev)) {
    const double channel = check.scale.channel(line.line.energyKev);
    if (!(channel >= lo && channel <= hi)) continue;
    const auto y = static_cast<int32_t>(std::trunc(g.Y0 + (channel - lo) * g.YH / r));
    const int32_t length =
        std::max<int32_t>(g.FH, static_cast<int32_t>(0.6 * std::clamp(line.line.relative, 0.0, 1.0) * g.XW));
    const Colour24 colour = elementColour(line.elementIndex);
    if (line.line.kind == LineKind::Emission) {
      m.lines.push_back({{g.X0, y}, {g.X0 + length, y}, colour, 2});
    } else {
      const int32_t dash = std::max(g.FH / 2, 2);
      for (int32_t x = 0; x < length; x += 2 * dash)
        m.lines.push_back({{g.X0 + x, y}, {g.X0 + std::min(x + dash, length), y}, colour, 2});
    }
    if (line.labelled)
      m.texts.push_back({line.line.element + " " + line.line.group, {g.X0 + length + g.FH, y}, g.FH, true});
  }
}

}  // namespace tolvane
