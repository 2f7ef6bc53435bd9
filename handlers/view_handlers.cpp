#include "handlers/view_handlers.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "analysis/spectrum_view.h"
#include "app/session.h"
#include "device/mca_commands.h"
#include "display/hard_copy.h"
#include "display/plot_painter.h"
#include "display/vfs_ladder.h"
#include "handlers/analysis_handlers.h"
#include "handlers/plot_handlers.h"
#include "handlers/view_labels.h"

namespace tolvane {

namespace {

bool accepted(Session& s, const std::string& frame) { return SendCommand(s.Transport, frame) == LinkOutcome::Done; }

void drawScaleFrame(Session& s) {
  if (s.Display.LogScale)
    DrawLogFrame(s, true);
  else
    DrawLinearFrame(s, true);
}

// What Expand and Compress do after the window has changed locally.
void showNewWindow(Session& s) {
  keepViewInStatus(s);
  ShowViewLabels(s);
  DrawChannelAxis(s);
  drawScaleFrame(s);
  PaintBox1Paint(s);
}

// Expand and Compress in analyser mode: the analyser took the command, so
// its view is read back and the axis drawn from it.
void showAnalyserWindow(Session& s) {
  const bool read = ReadStatus(s.Transport, s.Acquisition) == LinkOutcome::Done;
  DrawChannelAxis(s, read ? &s.Acquisition.Status : nullptr);
}

std::string fixed2(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%8.2f", value);
  return buffer;
}

// The cursor has moved: tell the analyser (when one was listed), show the
// channel, and its energy when a calibration is set.
void cursorMoved(Session& s) {
  // The analyser's next status block shows whether it took the cursor.
  if (s.Acquisition.DeviceCount != 0) (void)SetCursor(s.Transport, s.Display.Cursor);
  s.Texts.Label3 = std::to_string(s.Display.Cursor);
  ShowCursorEnergy(s);
}

}  // namespace

void LogDispClick(Session& s) {
  s.Display.LogScale = true;
  if (!analyserMode(s)) {
    DrawLogFrame(s, true);
    PaintBox1Paint(s);
  } else if (accepted(s, "$O;")) {
    DrawLogFrame(s, true);
  }
}

void AutoVfsClick(Session& s) {
  s.Display.LogScale = false;
  if (!analyserMode(s)) {
    s.Display.FullScaleIndex = autoFullScaleStep(viewMaximum(s));
    DrawLinearFrame(s, true);
    PaintBox1Paint(s);
    return;
  }
  const int32_t step = autoFullScaleStep(s.Acquisition.MaxCount);
  const std::string frame = autoScaleFrame(step);
  s.Texts.Edit1 = frame;
  if (accepted(s, frame)) {
    s.Display.FullScaleIndex = step;
    DrawLinearFrame(s, true);
  }
}

void UpDown1Click(Session& s, bool up) {
  const bool wasLog = s.Display.LogScale;
  s.Display.LogScale = false;
  int32_t& step = s.Display.FullScaleIndex;
  if ((up && step <= 1) || (!up && step >= kVfsSteps)) {
    // At a bound the step stays; a press that left log mode still shows
    // the linear frame, so the screen agrees with the scale in use.
    if (wasLog && !analyserMode(s)) {
      DrawLinearFrame(s, true);
      PaintBox1Paint(s);
    }
    return;
  }
  const auto stepOnce = [&] { step = up ? std::max(step - 1, 1) : std::min(step + 1, kVfsSteps); };
  if (!analyserMode(s)) {
    stepOnce();
    DrawLinearFrame(s, true);
    PaintBox1Paint(s);
  } else if (accepted(s, up ? "$V;" : "$v;")) {
    stepOnce();
    DrawLinearFrame(s, true);
  }
}

void ExpandClick(Session& s) {
  if (analyserMode(s)) {
    if (accepted(s, "$E;")) showAnalyserWindow(s);
    return;
  }
  expandLocalView(s);
  showNewWindow(s);
}

void CompresClick(Session& s) {
  if (analyserMode(s)) {
    if (accepted(s, "$e;")) showAnalyserWindow(s);
    return;
  }
  compressLocalView(s);
  showNewWindow(s);
}

void ScrollBar1Scroll(Session& s, ScrollCode code, int32_t& position) {
  if (analyserMode(s)) {
    (void)SendCommand(s.Transport, scrollFrame(code));  // the next status block shows the view
    return;
  }
  scrollLocalView(s, code, position);
  s.Texts.Edit1 = std::to_string(position);
  ShowViewLabels(s);
  DrawChannelAxis(s);
  PaintBox1Paint(s);
}

void PaintBox1MouseDown(Session& s, MouseButton button, int32_t x) {
  if (button != MouseButton::Left) return;
  s.Display.Cursor = channelAtPaintBoxX(s, x);
  cursorMoved(s);
  PaintBox1Paint(s);
}

void SnapPeakClick(Session& s) {
  const std::optional<SnappedPeak> peak = snapPeak(s);
  if (!peak) {
    s.Texts.Edit1 = kNoPeakText;  // nothing above zero near the cursor: it stays
    return;
  }
  s.Display.PeakCentroid = peak->centroid;
  s.Texts.Edit1 = fixed2(peak->centroid);
  s.Display.Cursor = peak->cursor;
  cursorMoved(s);
  PaintBox1Paint(s);
}

namespace {

// The snapped centroid while the cursor still stands on it, else the
// cursor channel.
std::string pickUpText(const Session& s) {
  const float centroid = s.Display.PeakCentroid;
  if (static_cast<int64_t>(std::trunc(static_cast<double>(centroid) + 0.5)) == s.Display.Cursor)
    return fixed2(centroid);
  return std::to_string(s.Display.Cursor);
}

}  // namespace

void LengChClick(Session& s) { s.CalibrationPage.LowCh = pickUpText(s); }
void HengChClick(Session& s) { s.CalibrationPage.HiCh = pickUpText(s); }

void SetHardCopyColours(Session& s, bool printing) {
  const Colour24 background = usePlotColours(s.Display, printing);
  if (s.Painter) s.Painter->setPlotBackground(background);
  if (s.Display.LogScale)
    DrawLogFrame(s, true);
  else
    DrawLinearFrame(s, true);
  PaintBox1Paint(s);
}

}  // namespace tolvane
