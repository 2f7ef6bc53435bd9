#include "display/painting_recorder.h"

#include "display/plot_model.h"

namespace tolvane {

// Each call keeps its own copy of the model: a later call in the same
// handler may change the model before the replay.
void PaintingRecorder::paint(const PlotModel& plot) {
  calls_.push_back([plot](PlotPainter& p) { p.paint(plot); });
}

void PaintingRecorder::drawScaleFrame(const PlotModel& plot, bool full) {
  calls_.push_back([plot, full](PlotPainter& p) { p.drawScaleFrame(plot, full); });
}

void PaintingRecorder::drawChannelAxis(const PlotModel& plot) {
  calls_.push_back([plot](PlotPainter& p) { p.drawChannelAxis(plot); });
}

void PaintingRecorder::drawMappingPreview(const PlotModel& plot) {
  calls_.push_back([plot](PlotPainter& p) { p.drawMappingPreview(plot); });
}

void PaintingRecorder::setPlotBackground(uint32_t colour) {
  calls_.push_back([colour](PlotPainter& p) { p.setPlotBackground(colour); });
}

void PaintingRecorder::replayOn(PlotPainter* target) {
  if (target)
    for (const auto& call : calls_) call(*target);
  calls_.clear();
}

}  // namespace tolvane
