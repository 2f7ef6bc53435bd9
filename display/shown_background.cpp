#include "display/shown_background.h"

#include <algorithm>
#include <cmath>

#include "analysis/snip_background.h"
#include "app/engine_state.h"
#include "display/plot_geometry.h"
#include "display/plot_mapping.h"
#include "lines/snip_width.h"
#include "lines/spectrum_lines.h"

namespace tolvane {

namespace {
int32_t shownChannels(const EngineState& s) { return std::clamp(s.Acquisition.ChannelCount, 1, s.Working.capacity()); }
}  // namespace

int shownSnipWidth(const EngineState& s) {
  if (s.Display.SnipWidth > 0) return std::min(s.Display.SnipWidth, kSnipMaxWidth);
  const CalibrationCheck check = lineCalibration(s);
  if (check.error) return kDefaultSnipWidth;
  return snipWidthFromResolution(s.Lines.resolution(), check.scale.gain, check.scale.offset, shownChannels(s));
}

std::vector<double> shownSnipBackground(const EngineState& s) {
  return snipBackground(s.Working.Counts.data(), shownChannels(s), {shownSnipWidth(s), true, 0});
}

std::vector<CurvePoint> backgroundCurve(const EngineState& s) {
  std::vector<CurvePoint> curve;
  if (!s.Display.SnipShown) return curve;
  const std::vector<double> bg = shownSnipBackground(s);
  const DisplayState& d = s.Display;
  const ColumnMapping mapping = columnMapping(d.FirstShown, d.LastShown, kPlotWidth);
  int32_t lastColumn = -1;
  for (int32_t c = std::max(d.FirstShown, 0); c <= d.LastShown && c < static_cast<int32_t>(bg.size()); ++c) {
    const int32_t column = columnOfChannel(c, d.FirstShown, mapping);
    if (column < 0 || column >= kPlotWidth || column == lastColumn) continue;
    lastColumn = column;
    const double value = std::clamp(std::round(bg[static_cast<size_t>(c)]), 0.0, 2147483647.0);
    const int32_t row = countRow(static_cast<int32_t>(value), d.LogScale, d.FullScaleIndex, kPlotHeight);
    curve.push_back({kPlotLeft + column, kPlotTop + row});
  }
  return curve;
}

}  // namespace tolvane
