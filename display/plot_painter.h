#pragma once
// The drawing side of the plot, implemented by the renderer. The core calls
// it after it has updated the state, in the order the display relies on;
// with no painter attached the calls change state only.
#include <cstdint>

namespace tolvane {

class Session;

class PlotPainter {
 public:
  virtual ~PlotPainter() = default;
  // Rebuilds PlotImage from the session's plot model and shows the pictures.
  virtual void paint(Session& session) = 0;
  // Draws the model's scale frame (log or linear); with `full` also the
  // background grid, captions and preview; then shows the pictures.
  virtual void drawScaleFrame(Session& session, bool full) = 0;
  // Redraws the channel-axis strip from the model's ticks and shows it.
  virtual void drawChannelAxis(Session& session) = 0;
  // Draws the mapping preview over the background and shows the pictures.
  virtual void drawMappingPreview(Session& session) = 0;
  // Fills the blank plot and the top rows of the channel-axis pictures with
  // `colour` (black on screen, white for a hard copy).
  virtual void setPlotBackground(uint32_t colour) = 0;
};

}  // namespace tolvane
