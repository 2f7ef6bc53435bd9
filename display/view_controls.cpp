#include "display/view_controls.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "analysis/energy_calibration.h"
#include "analysis/spectrum_view.h"
#include "app/session.h"
#include "device/mca_commands.h"
#include "display/plot_calls.h"
#include "display/plot_geometry.h"
#include "display/vfs_ladder.h"
#include "display/view_labels.h"
#include "display/view_window.h"

namespace tolvane {

namespace {

constexpr int32_t kAutoStepLimit = 20;

int32_t memorySize(const Session& s) { return std::clamp(s.Acquisition.ChannelCount, 1, s.Working.capacity()); }

int32_t countAt(const Session& s, int32_t channel) {
  return channel >= 0 && channel < memorySize(s) ? s.Working.Counts[static_cast<size_t>(channel)] : 0;
}

bool accepted(Session& s, const std::string& frame) { return SendCommand(s, frame) == CommandResult::Accepted; }

void drawScaleFrame(Session& s) {
  if (s.Display.LogScale)
    DrawLogFrame(s, true);
  else
    DrawLinearFrame(s, true);
}

// What Expand and Compress do after the window has changed locally.
void showNewWindow(Session& s) {
  s.Acquisition.Status.setViewFirst(static_cast<int16_t>(s.Display.FirstShown));
  s.Acquisition.Status.setViewLast(static_cast<int16_t>(s.Display.LastShown));
  ShowViewLabels(s);
  DrawChannelAxis(s, false);
  drawScaleFrame(s);
  PaintBox1Paint(s);
}

ViewWindow viewOf(const Session& s) { return {s.Display.FirstShown, s.Display.LastShown, s.Display.Cursor}; }

void setView(Session& s, const ViewWindow& v) {
  s.Display.FirstShown = v.First;
  s.Display.LastShown = v.Last;
  s.Display.Cursor = v.Cursor;
}

std::string fixed2(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%8.2f", value);
  return buffer;
}

// The cursor has moved: tell the analyser (when one was listed), show the
// channel, and its energy when a calibration is set.
void cursorMoved(Session& s) {
  if (s.Acquisition.DeviceCount != 0) SetCursor(s, 0, s.Display.Cursor);
  s.Texts.Label3 = std::to_string(s.Display.Cursor);
  ShowCursorEnergy(s);
}

}  // namespace

bool analyserMode(const Session& s) { return s.Acquisition.DeviceOpen == 1 && s.Acquisition.Running == 1; }

void LogDispClick(Session& s) {
  s.Display.LogScale = true;
  if (!analyserMode(s)) {
    DrawLogFrame(s, true);
    PaintBox1Paint(s);
  } else if (accepted(s, "$O;")) {
    DrawLogFrame(s, true);
  }
}

int32_t autoFullScaleStep(int64_t maximum) {
  int32_t step = kVfsSteps + 1;
  for (int32_t i = 1; i <= kVfsSteps; ++i)
    if (vfsFullScale(i) > maximum) {
      step = i;
      break;
    }
  return std::min(step, kAutoStepLimit);
}

void AutoVfsClick(Session& s) {
  s.Display.LogScale = false;
  if (!analyserMode(s)) {
    int32_t maximum = 0;
    for (int32_t c = std::max(s.Display.FirstShown, 0); c <= s.Display.LastShown && c < memorySize(s); ++c)
      maximum = std::max(maximum, countAt(s, c));
    s.Display.FullScaleIndex = autoFullScaleStep(maximum);
    DrawLinearFrame(s, true);
    PaintBox1Paint(s);
    return;
  }
  const int32_t step = autoFullScaleStep(s.Acquisition.MaxCount);
  const std::string frame = std::string("$V") + static_cast<char>('0' + step) + ";";
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
    if (accepted(s, "$E;")) DrawChannelAxis(s, true);
    return;
  }
  ViewWindow v = viewOf(s);
  expandView(v, kPlotWidth, memorySize(s));
  setView(s, v);
  showNewWindow(s);
}

void CompresClick(Session& s) {
  if (analyserMode(s)) {
    if (accepted(s, "$e;")) DrawChannelAxis(s, true);
    return;
  }
  ViewWindow v = viewOf(s);
  compressView(v, kPlotWidth, memorySize(s));
  setView(s, v);
  showNewWindow(s);
}

void ScrollBar1Scroll(Session& s, ScrollCode code, int32_t& position) {
  const char letter = code == ScrollCode::LineLeft ? 'l' : code == ScrollCode::LineRight ? 'r' : ' ';
  if (analyserMode(s)) {
    SendCommand(s, std::string("$") + letter + ";");
    return;
  }
  ViewWindow v = viewOf(s);
  if (code == ScrollCode::LineLeft) {
    position -= kScrollLine;
    scrollViewLeft(v);
  } else if (code == ScrollCode::LineRight) {
    position += kScrollLine;
    scrollViewRight(v, memorySize(s));
  }
  setView(s, v);
  s.Texts.Edit1 = std::to_string(position);
  ShowViewLabels(s);
  DrawChannelAxis(s, false);
  PaintBox1Paint(s);
}

void PaintBox1MouseDown(Session& s, MouseButton button, int32_t x) {
  if (button != MouseButton::Left) return;
  const int64_t u = int64_t{x} - kPlotLeft;
  const DisplayState& d = s.Display;
  const int64_t n = int64_t{d.LastShown} - d.FirstShown + 1;
  const int64_t p = std::max<int64_t>(n > 0 ? kPlotWidth / n : 1, 1);  // pixels per channel of the own window
  int64_t channel;
  if (s.Acquisition.DeviceOpen == 1) {
    const int64_t f = s.Acquisition.Status.viewFirst(), l = s.Acquisition.Status.viewLast();
    const int64_t stride = (l - f + 1) / kPlotWidth;
    channel = stride != 0 ? f + u * stride : f + u / p;
  } else {
    const int64_t stride = n / kPlotWidth;
    channel = stride != 0 ? d.FirstShown + u * stride : d.FirstShown + u / p;
  }
  // A press left of the plot or past the spectrum's end stays on a channel.
  s.Display.Cursor = static_cast<int32_t>(std::clamp<int64_t>(channel, 0, memorySize(s) - 1));
  cursorMoved(s);
  PaintBox1Paint(s);
}

void SnapPeakClick(Session& s) {
  const int32_t cursor = s.Display.Cursor;
  int32_t peak = -1, maximum = 0;
  for (int32_t c = cursor - 10; c <= cursor + 10; ++c) {
    if (c < 0 || c >= memorySize(s)) continue;
    if (countAt(s, c) > maximum) {
      maximum = countAt(s, c);
      peak = c;
    }
  }
  if (peak < 0) {
    s.Texts.Edit1 = kNoPeakText;  // nothing above zero near the cursor: it stays
    return;
  }
  float sum = 0.0f, weighted = 0.0f;
  for (int32_t c = std::max(peak - 5, 0); c <= peak + 5 && c < memorySize(s); ++c) {
    sum += static_cast<float>(countAt(s, c));
    weighted += static_cast<float>(int64_t{countAt(s, c)} * c);
  }
  // Negative channel contents can cancel the sum; the peak channel then stands.
  const float centroid = sum > 0.0f ? weighted / sum : static_cast<float>(peak);
  s.Display.PeakCentroid = centroid;
  s.Texts.Edit1 = fixed2(centroid);
  const auto snapped = static_cast<int64_t>(std::trunc(static_cast<double>(centroid) + 0.5));
  s.Display.Cursor = static_cast<int32_t>(std::clamp<int64_t>(snapped, 0, memorySize(s) - 1));
  cursorMoved(s);
  PaintBox1Paint(s);
}

namespace {

std::string pickUpText(const Session& s) {
  const float centroid = s.Display.PeakCentroid;
  if (static_cast<int64_t>(std::trunc(static_cast<double>(centroid) + 0.5)) == s.Display.Cursor)
    return fixed2(centroid);
  return std::to_string(s.Display.Cursor);
}

}  // namespace

void LengChClick(Session& s) { s.CalibrationPage.LowCh = pickUpText(s); }
void HengChClick(Session& s) { s.CalibrationPage.HiCh = pickUpText(s); }

}  // namespace tolvane
