#pragma once
// A painter that keeps what it is asked to draw, to draw it later on
// another painter. Handlers that run off the window's thread paint into
// one; the window replays it on its own thread, in the same order, once
// the handler has finished.
#include <functional>
#include <vector>

#include "display/plot_painter.h"

namespace tolvane {

class PaintingRecorder final : public PlotPainter {
 public:
  void paint(const PlotModel& plot) override;
  void drawScaleFrame(const PlotModel& plot, bool full) override;
  void drawChannelAxis(const PlotModel& plot) override;
  void drawMappingPreview(const PlotModel& plot) override;
  void setPlotBackground(uint32_t colour) override;

  // Draws every kept call on `target` (none: nowhere) in order and forgets
  // them.
  void replayOn(PlotPainter* target);

 private:
  std::vector<std::function<void(PlotPainter&)>> calls_;
};

}  // namespace tolvane
