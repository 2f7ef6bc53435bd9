#include "lines/plot_line_markers.h"

#include "app/engine_state.h"
#include "display/plot_mapping.h"
#include "lines/spectrum_lines.h"

namespace tolvane {

namespace {

bool cacheCurrent(const LinesSetup& l) { return l.CachedElements == l.Elements && l.CachedMaxKev == l.MaxKev; }

}  // namespace

void refreshMarkedLines(LinesSetup& l) {
  // The lines of the field's elements change only with the field.
  if (cacheCurrent(l)) return;
  l.CachedLines = markedLines(parseElementList(l.Elements), l.MaxKev);
  l.CachedElements = l.Elements;
  l.CachedMaxKev = l.MaxKev;
}

std::vector<LineMarker> plotLineMarkers(const EngineState& s, const ColumnMapping& mapping, int32_t width,
                                        int32_t height) {
  const LinesSetup& l = s.Lines;
  if (!l.Shown) return {};
  const CalibrationCheck check = lineCalibration(s);
  if (check.error) return {};
  const MarkerView view{s.Display.FirstShown, mapping.s, mapping.p, width, height, s.Display.LogScale};
  if (cacheCurrent(l)) return placeMarkers(l.CachedLines, check.scale, view);
  return placeMarkers(markedLines(parseElementList(l.Elements), l.MaxKev), check.scale, view);
}

}  // namespace tolvane
