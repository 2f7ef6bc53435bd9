#include "display/plot_calls.h"

#include "app/session.h"
#include "device/mca_commands.h"
#include "display/plot_painter.h"

namespace tolvane {

std::string FormatCount(int32_t value) { return std::to_string(value); }

void PaintBox1Paint(Session& session) {
  // Idle means no rate: the readout never shows a stale one.
  if (session.Acquisition.Running == 0) session.Acquisition.CountRate = 0.0f;
  const int32_t cursor = session.Display.Cursor;
  if (cursor >= 0 && cursor < session.Working.capacity())
    session.Texts.Label7 = FormatCount(session.Working.Counts[static_cast<size_t>(cursor)]);
  if (session.Painter) session.Painter->paint(session);
}

void DrawLogFrame(Session& session, bool full) {
  session.Display.LogScale = true;
  if (session.Painter) session.Painter->drawLogFrame(session, full);
}

void DrawLinearFrame(Session& session, bool full) {
  session.Display.LogScale = false;
  if (session.Painter) session.Painter->drawLinearFrame(session, full);
}

void DrawChannelAxis(Session& session, bool fromAnalyser) {
  if (fromAnalyser && ReadStatus(session, 0) == 1) {
    session.Display.FirstShown = session.Acquisition.Status.viewFirst();
    session.Display.LastShown = session.Acquisition.Status.viewLast();
  }
  if (session.Painter) session.Painter->drawChannelAxis(session);
}

}  // namespace tolvane
