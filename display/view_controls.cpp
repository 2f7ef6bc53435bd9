#include "display/view_controls.h"

#include <algorithm>
#include <cmath>

#include "app/engine_state.h"
#include "display/plot_geometry.h"
#include "display/vfs_ladder.h"
#include "display/view_window.h"

namespace tolvane {

namespace {

constexpr int32_t kAutoStepLimit = 20;

int32_t memorySize(const EngineState& s) { return std::clamp(s.Acquisition.ChannelCount, 1, s.Working.capacity()); }

int32_t countAt(const EngineState& s, int32_t channel) {
  return channel >= 0 && channel < memorySize(s) ? s.Working.Counts[static_cast<size_t>(channel)] : 0;
}

ViewWindow viewOf(const EngineState& s) { return {s.Display.FirstShown, s.Display.LastShown, s.Display.Cursor}; }

void setView(EngineState& s, const ViewWindow& v) {
  s.Display.FirstShown = v.First;
  s.Display.LastShown = v.Last;
  s.Display.Cursor = v.Cursor;
}

}  // namespace

bool analyserMode(const EngineState& s) { return s.Acquisition.DeviceOpen == 1 && s.Acquisition.Running == 1; }

int32_t autoFullScaleStep(int64_t maximum) {
  int32_t step = kVfsSteps + 1;
  for (int32_t i = 1; i <= kVfsSteps; ++i)
    if (vfsFullScale(i) > maximum) {
      step = i;
      break;
    }
  return std::min(step, kAutoStepLimit);
}

int32_t viewMaximum(const EngineState& s) {
  int32_t maximum = 0;
  for (int32_t c = std::max(s.Display.FirstShown, 0); c <= s.Display.LastShown && c < memorySize(s); ++c)
    maximum = std::max(maximum, countAt(s, c));
  return maximum;
}

std::string autoScaleFrame(int32_t step) { return std::string("$V") + static_cast<char>('0' + step) + ";"; }

std::string scrollFrame(ScrollCode code) {
  const char letter = code == ScrollCode::LineLeft ? 'l' : code == ScrollCode::LineRight ? 'r' : ' ';
  return std::string("$") + letter + ";";
}

void scrollLocalView(EngineState& s, ScrollCode code, int32_t& position) {
  ViewWindow v = viewOf(s);
  if (code == ScrollCode::LineLeft) {
    position -= kScrollLine;
    scrollViewLeft(v);
  } else if (code == ScrollCode::LineRight) {
    position += kScrollLine;
    scrollViewRight(v, memorySize(s));
  }
  setView(s, v);
}

int32_t channelAtPaintBoxX(const EngineState& s, int32_t x) {
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
  return static_cast<int32_t>(std::clamp<int64_t>(channel, 0, memorySize(s) - 1));
}

std::optional<SnappedPeak> snapPeak(const EngineState& s) {
  const int32_t cursor = s.Display.Cursor;
  int32_t peak = -1, maximum = 0;
  for (int32_t c = cursor - 10; c <= cursor + 10; ++c) {
    if (c < 0 || c >= memorySize(s)) continue;
    if (countAt(s, c) > maximum) {
      maximum = countAt(s, c);
      peak = c;
    }
  }
  if (peak < 0) return std::nullopt;
  float sum = 0.0f, weighted = 0.0f;
  for (int32_t c = std::max(peak - 5, 0); c <= peak + 5 && c < memorySize(s); ++c) {
    sum += static_cast<float>(countAt(s, c));
    weighted += static_cast<float>(int64_t{countAt(s, c)} * c);
  }
  // Negative channel contents can cancel the sum; the peak channel then stands.
  const float centroid = sum > 0.0f ? weighted / sum : static_cast<float>(peak);
  const auto snapped = static_cast<int64_t>(std::trunc(static_cast<double>(centroid) + 0.5));
  return SnappedPeak{centroid, static_cast<int32_t>(std::clamp<int64_t>(snapped, 0, memorySize(s) - 1))};
}

void expandLocalView(EngineState& s) {
  ViewWindow v = viewOf(s);
  expandView(v, kPlotWidth, memorySize(s));
  setView(s, v);
}

void compressLocalView(EngineState& s) {
  ViewWindow v = viewOf(s);
  compressView(v, kPlotWidth, memorySize(s));
  setView(s, v);
}

void keepViewInStatus(EngineState& s) {
  s.Acquisition.Status.setViewFirst(static_cast<int16_t>(s.Display.FirstShown));
  s.Acquisition.Status.setViewLast(static_cast<int16_t>(s.Display.LastShown));
}

}  // namespace tolvane
