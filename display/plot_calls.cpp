#include "display/plot_calls.h"

#include "app/session.h"
#include "device/mca_commands.h"
#include "display/plot_model.h"
#include "display/plot_painter.h"
#include "display/view_controls.h"

namespace tolvane {

std::string FormatCount(int32_t value) { return std::to_string(value); }

void PaintBox1Paint(Session& session) {
  // The mouse reads the kept status block's view while the analyser is
  // open. Outside analyser mode the window shown is the local one, whatever
  // changed it (zoom, scroll, a file read, a memory, a setup), so the kept
  // view follows it; a click then lands on the channel under the pointer.
  if (!analyserMode(session)) {
    session.Acquisition.Status.setViewFirst(static_cast<int16_t>(session.Display.FirstShown));
    session.Acquisition.Status.setViewLast(static_cast<int16_t>(session.Display.LastShown));
  }
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
