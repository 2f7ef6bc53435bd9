#include "display/plot_calls.h"

#include "app/session.h"
#include "device/mca_commands.h"
#include "display/plot_model.h"
#include "display/plot_painter.h"

namespace tolvane {

std::string FormatCount(int32_t value) { return std::to_string(value); }

void PaintBox1Paint(Session& session) {
  buildPaintModel(session);  // also zeroes the rate while idle
  if (session.Painter) session.Painter->paint(session);
}

void DrawLogFrame(Session& session, bool full) {
  session.Display.LogScale = true;
  DrawChannelAxis(session, false);
  buildScaleFrame(session, true, full);
  if (session.Painter) session.Painter->drawScaleFrame(session, full);
}

void DrawLinearFrame(Session& session, bool full) {
  session.Display.LogScale = false;
  DrawChannelAxis(session, false);
  buildScaleFrame(session, false, full);
  if (session.Painter) session.Painter->drawScaleFrame(session, full);
}

void DrawChannelAxis(Session& session, bool fromAnalyser) {
  if (fromAnalyser && ReadStatus(session, 0) == 1) {
    session.Display.FirstShown = session.Acquisition.Status.viewFirst();
    session.Display.LastShown = session.Acquisition.Status.viewLast();
  }
  buildChannelTicks(session);
  if (session.Painter) session.Painter->drawChannelAxis(session);
}

}  // namespace tolvane
