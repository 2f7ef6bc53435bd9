#include "handlers/plot_handlers.h"

#include <algorithm>
#include <utility>

#include "app/session.h"
#include "records/device_status.h"
#include "display/plot_geometry.h"
#include "display/plot_model.h"
#include "display/plot_painter.h"
#include "display/view_controls.h"
#include "handlers/view_labels.h"
#include "lines/plot_line_markers.h"
#include "roi/roi_sums.h"

namespace tolvane {

std::string FormatCount(int32_t value) { return std::to_string(value); }

void PaintBox1Paint(Session& session) {
  // The mouse reads the kept status block's view while the analyser is
  // open. Outside analyser mode the window shown is the local one, whatever
  // changed it (zoom, scroll, a file read, a memory, a setup), so the kept
  // view follows it; a click then lands on the channel under the pointer.
  if (!analyserMode(session)) keepViewInStatus(session);
  // What a paint stands for in the state: an idle analyser counts at no
  // rate, the table keeps the gross sums shown, the labels follow the cursor.
  if (session.Acquisition.Running == 0) session.Acquisition.CountRate = 0.0f;
  const int32_t channels = std::clamp(session.Acquisition.ChannelCount, 1, session.Working.capacity());
  storeRoiGrossSums(session.Rois, kShownRois, session.Working.Counts.data(), channels);
  const int32_t cursor = session.Display.Cursor;
  session.Texts.Label7 =
      FormatCount(cursor >= 0 && cursor < channels ? session.Working.Counts[static_cast<size_t>(cursor)] : 0);
  ShowCursorEnergy(session);
  refreshMarkedLines(session.Lines);

  buildPaintModel(std::as_const(session), session.Plot);
  if (session.Painter) session.Painter->paint(session.Plot);
}

namespace {

void drawFrame(Session& session, bool logScale, bool full) {
  session.Display.LogScale = logScale;
  DrawChannelAxis(session);
  buildScaleFrame(std::as_const(session), logScale, full, session.Plot);
  if (session.Painter) session.Painter->drawScaleFrame(session.Plot, full);
}

}  // namespace

void DrawLogFrame(Session& session, bool full) { drawFrame(session, true, full); }
void DrawLinearFrame(Session& session, bool full) { drawFrame(session, false, full); }

void DrawChannelAxis(Session& session, const DeviceStatus* fromAnalyser) {
  if (fromAnalyser) {
    session.Display.FirstShown = fromAnalyser->viewFirst();
    session.Display.LastShown = fromAnalyser->viewLast();
  }
  buildChannelTicks(std::as_const(session), session.Plot);
  if (session.Painter) session.Painter->drawChannelAxis(session.Plot);
}

}  // namespace tolvane
