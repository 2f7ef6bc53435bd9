#include "lines/plot_line_markers.h"

#include "app/session.h"
#include "lines/line_markers.h"
#include "lines/spectrum_lines.h"

namespace tolvane {

void buildLineMarkers(Session& s) {
  PlotModel& plot = s.Plot;
  plot.LineMarkers.clear();
  if (!s.Lines.Shown) return;
  const CalibrationCheck check = lineCalibration(s);
  if (check.error) return;
  // The lines of the field's elements change only with the field.
  LinesSetup& l = s.Lines;
  if (l.CachedElements != l.Elements || l.CachedMaxKev != l.MaxKev) {
    l.CachedLines = markedLines(parseElementList(l.Elements), l.MaxKev);
    l.CachedElements = l.Elements;
    l.CachedMaxKev = l.MaxKev;
  }
  const MarkerView view{s.Display.FirstShown, plot.Mapping.s, plot.Mapping.p, std::min(plot.W, kEnvelopeColumns),
                        plot.H};
  plot.LineMarkers = placeMarkers(l.CachedLines, check.scale, view);
}

}  // namespace tolvane
