#include "display/plot_model.h"

#include "display/shown_background.h"
#include "roi/roi_background_net.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/engine_state.h"
#include "display/vfs_ladder.h"
#include "lines/plot_line_markers.h"
#include "roi/roi_net.h"
#include "roi/roi_sums.h"

namespace tolvane {

namespace {

constexpr int32_t kMinimumStart = 16'000'000;

std::string formatted(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

// Channels of the displayed spectrum; nothing outside 0 .. M-1 is ever read.
struct Spectrum {
  const int32_t* counts;
  int32_t size;
  bool has(int64_t c) const { return c >= 0 && c < size; }
  int32_t at(int64_t c) const { return counts[c]; }
  int32_t orZero(int64_t c) const { return has(c) ? counts[c] : 0; }
};

Spectrum displayed(const EngineState& s) {
  return {s.Working.Counts.data(), std::clamp(s.Acquisition.ChannelCount, 1, s.Working.capacity())};
}

int32_t plotColumns(const PlotModel& plot) { return std::min(plot.W, kEnvelopeColumns); }

// The dead time of a spectrum from its own times, percent of the real
// time; nothing when it has no real time.
std::string deadTimeOfTimes(int32_t realTime, int32_t liveTime) {
  if (realTime <= 0) return {};
  return formatted("%8.1f", (static_cast<double>(realTime) - liveTime) * 100.0 / realTime);
}

double countTotal(const Spectrum& spectrum) {
  double total = 0;
  for (int32_t c = 0; c < spectrum.size; ++c) total += spectrum.at(c);
  return total;
}

void addReadouts(const EngineState& s, std::vector<PlotText>& out, std::vector<TextClip>& clips) {
  const AcquisitionState& a = s.Acquisition;
  const DisplayState& d = s.Display;
  const size_t preset = out.size();
  out.push_back({formatted("%8.1f", a.PresetTime * 0.1), 175, 5, kAqua, true});
  const size_t real = out.size();
  out.push_back({formatted("%8.1f", a.RealTime * 0.1), 175, 18, kAqua, true});
  // Readouts with nothing behind them (a spectrum from a file holds no
  // rates) stay empty rather than show a zero that was never measured; a
  // spectrum read or recalled shows what its own times and counts give.
  if (d.ReadoutsFromSpectrum)
    out.push_back({deadTimeOfTimes(a.RealTime, a.LiveTime), 275, 5, kAqua, true});
  else if (d.DeadTimeKnown)
    out.push_back({formatted("%8.1f", a.DeadTimePerMille * 0.1), 275, 5, kAqua, true});
  out.push_back({formatted("%8.1f", a.LiveTime * 0.1), 275, 18, kAqua, true});
  const float rate = a.Running == 0 ? 0.0f : a.CountRate;  // an idle analyser counts nothing
  if (!d.LogScale) {
    out.push_back({std::string(9, ' '), 10, 18, d.TextBackColour, false});
    out.push_back({vfsLabel(d.FullScaleIndex), 10, 18, d.CaptionColour, false});
  }
  if (d.RatesKnown && !d.ReadoutsFromSpectrum) out.push_back({formatted("%8.2f", rate), 375, 5, kAqua, true});
  if (d.ReadoutsFromSpectrum)
    out.push_back({formatted("%8.2f", countTotal(displayed(s)) * 0.001), 375, 18, kAqua, true});
  else if (d.RatesKnown)
    out.push_back({formatted("%8.2f", a.Status.eventCount() * 0.001), 375, 18, kAqua, true});
  // The name and the comment stop before the preset and real-time values
  // at their right.
  if (a.Running == 1) {
    out.push_back({"  * ACQ *", 50, 5, kRed, false});
  } else {
    clips.push_back({out.size(), preset});
    out.push_back({s.Working.Name, 50, 5, d.CaptionColour, false});
  }
  clips.push_back({out.size(), real});
  out.push_back({s.Working.Header.comment(), 50, 18, d.CaptionColour, false});
}

void addRoiMarks(const EngineState& s, PlotModel& plot) {
  const Spectrum spectrum = displayed(s);
  const int32_t width = plotColumns(plot);
  const int32_t first = s.Display.FirstShown;
  std::vector<double> snip;  // the SNIP background, made once for all ROIs
  for (int i = 0; i < kShownRois; ++i) {
    const RoiEntry& roi = s.Rois.Entries[static_cast<size_t>(i)];
    if (roi.Shown != 1) continue;
    const int32_t low = roi.LowChannel, high = roi.HighChannel;

    // The same sums the precision preset uses, or the net over the SNIP
    // background when that is chosen.
    if (s.Display.RoiNetOverSnip && snip.empty()) snip = shownSnipBackground(s);
    const RoiNetSums sums = s.Display.RoiNetOverSnip
                                ? roiNetOverBackground(spectrum.counts, spectrum.size, low, high, snip)
                                : roiNetSums(spectrum.counts, spectrum.size, low, high);
    const float gross = sums.gross, net = sums.net;

    RoiMark mark;
    mark.index = i;
    mark.colour = roi.Colour;
    const int32_t row = 30 * i;
    mark.label = {std::string(roi.ElementLabel.data()), 420, row + 5, roi.Colour, false};
    mark.gross = {formatted("%12.1f", gross), 510, row + 5, kAqua, true};
    mark.net = {formatted("%12.1f", net), 510, row + 18, kAqua, true};

    mark.xs = columnOfChannel(low, first, plot.Mapping);
    mark.xe = columnOfChannel(high, first, plot.Mapping);
    mark.shaded = !(mark.xe <= 0 || mark.xe >= width);
    if (mark.shaded) {
      mark.xs = std::max(mark.xs, 0);
      int32_t xMin = mark.xs, topMin = plot.H - 1;
      for (int32_t x = mark.xs; x < mark.xe; ++x) {
        if (plot.Live.top[static_cast<size_t>(x)] < topMin) {
          topMin = plot.Live.top[static_cast<size_t>(x)];
          xMin = x;
        }
      }
      const std::string name(roi.ElementLabel.data());
      mark.shortLabel = {name.substr(0, 2), xMin - 6, topMin - 18, roi.Colour, false};
    }
    plot.Rois.push_back(std::move(mark));
  }
}

CursorMark cursorMark(const EngineState& s, const PlotModel& plot) {
  CursorMark mark;
  const int32_t x = columnOfChannel(s.Display.Cursor, s.Display.FirstShown, plot.Mapping);
  if (!(x > 0 && x < plotColumns(plot))) return mark;
  const int32_t top = plot.Live.top[static_cast<size_t>(x)];
  mark.shown = true;
  mark.x = plot.Mapping.expanded() ? x + plot.Mapping.p / 2 : x;
  mark.fromRow = top - 25;
  mark.toRow = top;
  return mark;
}

void addCaptions(const DisplayState& d, bool logScale, std::vector<PlotText>& out) {
  const Colour24 c = d.CaptionColour;
  out.push_back({"sec.PT", 180, 4, c, false});
  out.push_back({"sec.RT", 180, 17, c, false});
  out.push_back({"DT( % )", 280, 4, c, false});
  out.push_back({"sec.LT", 280, 17, c, false});
  out.push_back({"kcps", 380, 5, c, false});
  out.push_back({"kcts", 380, 18, c, false});
  out.push_back({"VFS", 10, 5, c, false});
  if (logScale) out.push_back({"Log", 10, 18, c, false});
  out.push_back({std::string(6, ' '), 100, 4, c, false});
  out.push_back({std::string(9, ' '), 105, 18, c, false});
}

}  // namespace

void fillLiveEnvelope(const EngineState& s, TraceEnvelope& env, const ColumnMapping& m) {
  const Spectrum spectrum = displayed(s);
  fillCountsEnvelope(spectrum.counts, spectrum.size, s.Display, env, m);
}

void fillCountsEnvelope(const int32_t* counts, int32_t size, const DisplayState& d, TraceEnvelope& env,
                        const ColumnMapping& m) {
  const Spectrum spectrum{counts, size};
  const int32_t width = std::min(kPlotWidth, kEnvelopeColumns);
  const auto row = [&](int32_t v) { return countRow(v, d.LogScale, d.FullScaleIndex, kPlotHeight); };
  for (int32_t x = 0; x < width; ++x) {
    if (m.expanded()) {
      const int64_t c = int64_t{d.FirstShown} + x / m.p;
      const int32_t r = row(spectrum.orZero(c));
      env.top[static_cast<size_t>(x)] = env.bottom[static_cast<size_t>(x)] = r;
      continue;
    }
    int32_t maximum = 0, minimum = kMinimumStart;
    const int64_t start = int64_t{d.FirstShown} + int64_t{m.s} * x;
    // Channels past the spectrum's end count 0, as in the expanded view, so
    // a column beyond the end lies on the bottom row instead of keeping the
    // minimum's start value (a full-height bar).
    for (int64_t c = start; c < start + m.s; ++c) {
      const int32_t v = spectrum.orZero(c);
      if (v >= maximum) maximum = v;
      if (v <= minimum) minimum = v;
    }
    env.top[static_cast<size_t>(x)] = row(maximum);
    env.bottom[static_cast<size_t>(x)] = row(minimum);
  }
}

void buildPaintModel(const EngineState& s, PlotModel& plot) {
  plot.Mapping = columnMapping(s.Display.FirstShown, s.Display.LastShown, plot.W);
  fillLiveEnvelope(s, plot.Live, plot.Mapping);
  plot.Readouts.clear();
  plot.ReadoutClips.clear();
  addReadouts(s, plot.Readouts, plot.ReadoutClips);
  plot.Rois.clear();
  addRoiMarks(s, plot);
  plot.LineMarkers = plotLineMarkers(s, plot.Mapping, plotColumns(plot), plot.H);
  plot.Cursor = cursorMark(s, plot);
  const DisplayState& d = s.Display;
  plot.TraceColour = d.TraceColour;
  plot.SnapshotShown = d.SnapshotShown;
  plot.Mem1Shown = d.Mem1Shown;
  plot.Mem2Shown = d.Mem2Shown;
  plot.Mem3Shown = d.Mem3Shown;
  plot.FitOverlayShown = s.MnFit.OverlayShown == 1;
}

void buildScaleFrame(const EngineState& s, bool logScale, bool full, PlotModel& plot) {
  ScaleFrame& f = plot.Frame;
  f = ScaleFrame{};
  f.logScale = logScale;
  const int32_t hs = kScaleStripHeight, ws = kScaleStripWidth;
  if (logScale) {
    const int32_t d = plot.H / 6;
    for (int32_t i = 0; i <= 5; ++i) {
      f.stripLines.push_back({0, ws, hs - (i * d + 1)});
      const int32_t t = i == 0 ? 0 : static_cast<int32_t>(std::trunc(std::log10(9.0) * d + 0.5)) + (i - 1) * d + 1;
      f.stripLabels.push_back({"e" + std::to_string(i), 1, hs - t - 13, kBlack, false});
      for (int j = 2; j <= 9; ++j) {
        const int32_t tj = static_cast<int32_t>(std::trunc(std::log10(static_cast<double>(j)) * d + 0.5)) + i * d + 1;
        f.stripLines.push_back({4, 15, hs - tj});
      }
    }
    f.stripLines.push_back({0, ws, hs - 6 * d});
  } else {
    const int32_t d = plot.H / 5;
    for (int32_t i = 0; i <= 4; ++i) {
      const int32_t base = hs - (i * d + 1);
      f.stripLines.push_back({0, ws, base});
      for (int j = 1; j <= 9; ++j)
        f.stripLines.push_back({4, 15, base - static_cast<int32_t>(std::trunc(j * d * 0.1 + 0.5))});
    }
    f.stripLines.push_back({0, ws, hs - 5 * d});
  }
  if (!full) return;

  const int32_t d = logScale ? plot.H / 6 : plot.H / 5;
  for (int32_t i = 0; i <= (logScale ? 6 : 5); ++i) f.gridRows.push_back(plot.H - i * d - 1);
  addCaptions(s.Display, logScale, f.captions);

  // A preview of the whole memory, from channel 0 whatever the view.
  const Spectrum spectrum = displayed(s);
  const int32_t q = s.Acquisition.ChannelCount / plot.W;
  f.previewColour = logScale ? kLime : s.Display.TraceColour;
  for (int32_t x = 0; x < plotColumns(plot) && q > 0; ++x) {
    int32_t top = plot.H - 1;
    for (int32_t j = 0; j < q; ++j) {
      const int64_t c = int64_t{q} * x + j;
      if (!spectrum.has(c)) break;
      const int32_t r = countRow(spectrum.at(c), logScale, s.Display.FullScaleIndex, plot.H);
      f.preview.push_back({x, r});
      top = std::min(top, r);
    }
    plot.Live.top[static_cast<size_t>(x)] = top;
  }
}

std::vector<AxisTick> channelTicks(int32_t first, int32_t last, int32_t width) {
  std::vector<AxisTick> ticks;
  const int64_t span = int64_t{last} - first;
  if (span <= 0) return ticks;
  int64_t step = 10, k = span / 10;
  if (k > 25) {
    step = 50;
    k = span / 50;
    if (k > 10) {
      step = 100;
      k = span / 100;
      if (k > 10) {
        step = 200;
        k = span / 200;
      }
    }
  }
  const int64_t offset = first % step;
  for (int64_t i = 0; i < k; ++i) {
    const auto x = static_cast<int32_t>((step * i + offset) * width / span);
    ticks.push_back({x, 18});
    if (step > 10)
      for (int64_t j = 1; j <= 9; ++j) {
        const int64_t g = j * width * step / span;
        ticks.push_back({x + static_cast<int32_t>(std::trunc(g * 0.1 + 0.5)), 10});
      }
  }
  return ticks;
}

void buildMappingPreview(const EngineState& s, PlotModel& plot) {
  MappingPreview& preview = plot.Preview;
  const DeviceStatus& status = s.Acquisition.Status;
  const DisplayState& d = s.Display;
  const int32_t w = kPlotWidth, h = plot.H, bottom = h - 1;

  const int64_t span = int64_t{d.LastShown} - d.FirstShown + 1;
  const int64_t step = span > 0 ? span / w : 0;
  const int64_t rep = step == 0 ? (span > 0 ? w / span : w) : w / 256;
  preview.rows.fill(bottom);
  for (int i = 0; i < DeviceStatus::kPreviewPoints; ++i) {
    const int32_t y = std::min(h - (status.preview(i) * h) / 256, bottom);
    for (int64_t k = 0; k < rep; ++k) {
      const int64_t x = i * rep + k;
      if (x >= 0 && x < w) preview.rows[static_cast<size_t>(x)] = y;
    }
  }

  auto& t = preview.texts;
  t.clear();
  t.push_back({formatted("%8.1f", s.Scan.PresetTime * 0.1), 175, 5, kAqua, true});
  const size_t real = t.size();
  t.push_back({formatted("%8.1f", status.realTimeTicks() * 0.01), 175, 18, kAqua, true});
  if (!d.LogScale) {
    t.push_back({std::string(9, ' '), 10, 18, d.TextBackColour, false});
    t.push_back({vfsLabel(d.FullScaleIndex), 10, 18, d.CaptionColour, false});
  }
  t.push_back({formatted("%8.2f", s.Acquisition.CountRate), 375, 5, kAqua, true});
  t.push_back({formatted("%8.2f", status.eventCount() * 0.001), 375, 18, kAqua, true});
  t.push_back({"* ACQ *", 50, 5, kRed, false});
  preview.textClips.assign(1, {t.size(), real});
  t.push_back({s.Working.Header.comment(), 50, 18, kRed, false});

  preview.marks.clear();
  const int64_t viewFirst = status.viewFirst();
  const int64_t step2 = (int64_t{status.viewLast()} - viewFirst + 1) / w;
  for (int i = 0; i < 8 && step2 > 0; ++i) {
    const RoiEntry& roi = s.Rois.Entries[static_cast<size_t>(i)];
    if (roi.Shown != 1) continue;
    const int64_t x1 = (roi.HighChannel - viewFirst) / step2;
    if (!(x1 > 0 && x1 < w)) continue;
    RoiMark mark;
    mark.index = i;
    mark.colour = roi.Colour;
    mark.shaded = true;
    mark.xs = static_cast<int32_t>(std::max<int64_t>((roi.LowChannel - viewFirst) / step2, 0));
    mark.xe = static_cast<int32_t>(x1);
    int32_t yMin = bottom, xMin = mark.xs;
    for (int32_t x = mark.xs; x < mark.xe; ++x)
      if (preview.rows[static_cast<size_t>(x)] < yMin) {
        yMin = preview.rows[static_cast<size_t>(x)];
        xMin = x;
      }
    mark.shortLabel = {std::string(roi.ElementLabel.data()).substr(0, 2), xMin - 6, yMin - 18, roi.Colour, false};
    preview.marks.push_back(std::move(mark));
  }

  preview.cursor = CursorMark{};
  const int64_t offset = int64_t{status.viewCursor()} - viewFirst;
  const int64_t xc = step > 0 ? offset / step : offset * rep;
  if (xc > 0 && xc < w) {
    const int32_t y = preview.rows[static_cast<size_t>(xc)];
    preview.cursor = {true, static_cast<int32_t>(xc), y - 25, y};
  }
}

void buildChannelTicks(const EngineState& s, PlotModel& plot) {
  plot.AxisTicks = channelTicks(s.Display.FirstShown, s.Display.LastShown, kAxisStripWidth);
}

}  // namespace tolvane
