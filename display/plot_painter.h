#pragma once
// The drawing side of the plot, implemented by the renderer. The core calls
// it after it has updated the state, in the order the display relies on;
// with no painter attached the calls change state only.
namespace tolvane {

class Session;

class PlotPainter {
 public:
  virtual ~PlotPainter() = default;
  virtual void paint(Session& session) = 0;  // rebuild PlotImage and show the pictures
  virtual void drawLogFrame(Session& session, bool full) = 0;
  virtual void drawLinearFrame(Session& session, bool full) = 0;
  virtual void drawChannelAxis(Session& session) = 0;
};

}  // namespace tolvane
