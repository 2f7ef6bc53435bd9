#pragma once
// The drawing side of the plot, implemented by the renderer. It draws a
// model the core has built and changes nothing else; with no painter
// attached the plot's handlers build the model only.
#include <cstdint>

namespace tolvane {

struct PlotModel;

class PlotPainter {
 public:
  virtual ~PlotPainter() = default;
  // Rebuilds PlotImage from the model and shows the pictures.
  virtual void paint(const PlotModel& plot) = 0;
  // Draws the model's scale frame (log or linear); with `full` also the
  // background grid, captions and preview; then shows the pictures.
  virtual void drawScaleFrame(const PlotModel& plot, bool full) = 0;
  // Redraws the channel-axis strip from the model's ticks and shows it.
  virtual void drawChannelAxis(const PlotModel& plot) = 0;
  // Draws the mapping preview over the background and shows the pictures.
  virtual void drawMappingPreview(const PlotModel& plot) = 0;
  // Fills the blank plot and the top rows of the channel-axis pictures with
  // `colour` (black on screen, white for a hard copy).
  virtual void setPlotBackground(uint32_t colour) = 0;
};

}  // namespace tolvane
