#include "files/report_layout.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "app/session.h"
#include "display/vfs_ladder.h"
#include "lines/report_line_markers.h"

namespace tolvane {

namespace {

constexpr Colour24 kGridGreen = 0x008000;

int32_t scaled(double factor, int32_t length) {
  return static_cast<int32_t>(std::trunc(static_cast<float>(factor * length)));
}

int32_t truncated(double v) { return static_cast<int32_t>(std::trunc(v)); }

std::string printed(const char* format, auto... values) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, format, values...);
  return buffer;
}

// How far a text of the report font (cell height fh, its em no larger)
// reaches along its line, at most: bounds per kind of character that hold
// for the fonts the report uses, so texts set one after another never meet.
int32_t reachOf(const std::string& text, int32_t fh) {
  double ems = 0.0;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80) {
      if ((byte & 0xC0) != 0x80) ems += 1.0;  // a character beyond ASCII, counted at its lead byte
    } else if (std::isdigit(byte)) {
      ems += 0.64;
    } else if (std::isupper(byte)) {
      ems += 0.8;
    } else if (std::islower(byte)) {
      ems += 0.65;
    } else {
      ems += 0.4;  // blank and punctuation
    }
  }
  return static_cast<int32_t>(std::ceil(ems * fh));
}

}  // namespace

ReportGeometry reportGeometry(int32_t pw, int32_t ph) {
  return {scaled(0.07, pw), scaled(0.10, ph), scaled(0.85, pw), scaled(0.85, ph), scaled(0.01, pw)};
}

std::pair<int32_t, int32_t> reportChannelSteps(int32_t r) {
  if (r > 4000) return {500, 100};
  if (r > 2000) return {250, 50};
  if (r > 1000) return {100, 20};
  if (r > 500) return {50, 10};
  if (r > 200) return {10, 10};
  if (r > 50) return {10, 5};  // narrow views: steps that still fit
  return {5, 1};
}

ReportModel buildReport(const Session& s, int32_t pw, int32_t ph, const std::string& date, const std::string& time) {
  ReportModel m;
  const ReportGeometry g = m.g = reportGeometry(pw, ph);
  const int32_t lo = s.Display.FirstShown, hi = s.Display.LastShown;
  const int32_t r = std::max(hi - lo + 1, 1);
  const int32_t n = std::clamp(s.Acquisition.ChannelCount, 0, s.Working.capacity());
  const bool log = s.Display.LogScale;
  const int64_t v = std::max<int64_t>(vfsFullScale(s.Display.FullScaleIndex), 1);
  const auto count = [&](int64_t k) { return k >= 0 && k < n ? s.Working.Counts[static_cast<size_t>(k)] : 0; };
  const int32_t e6 = g.XW / 6;
  const auto scale = [&](int32_t c) -> int64_t {
    if (log) return c > 0 ? static_cast<int64_t>(std::trunc(std::log10(static_cast<double>(c)) * e6)) : 0;
    return int64_t{c} * g.XW / v;
  };

  // Trace, one point per printer row.
  const int32_t q = m.channelsPerRow = g.YH > 0 ? r / g.YH : 0;
  const float rowsPerChannel = static_cast<float>(g.YH) / static_cast<float>(r);
  m.traceColour = q == 0 ? kBlack : s.Display.TraceColour;
  for (int32_t i = 0; i < g.YH; ++i) {
    int64_t d = 0;
    if (q >= 1) {
      for (int32_t j = 0; j < q; ++j) d = std::max(d, scale(count(int64_t{lo} + int64_t{q} * i + j)));
    } else {
      const auto k = static_cast<int64_t>(std::trunc(static_cast<float>(lo) + static_cast<float>(i) / rowsPerChannel));
      if (k >= n) break;
      d = scale(count(k));
    }
    const auto x = static_cast<int32_t>(std::clamp<int64_t>(g.X0 + d, INT32_MIN / 2, INT32_MAX / 2));
    m.trace.push_back({x, g.Y0 + i});
    if (i > 0) m.trace.push_back({x, g.Y0 + i + 1});
  }

  // Grid, frame and intensity ticks.
  const int32_t e = log ? g.XW / 6 : g.XW / 5;
  for (int32_t k = 0; k <= (log ? 6 : 5); ++k)
    m.lines.push_back({{g.X0 + k * e + 1, g.Y0}, {g.X0 + k * e + 1, g.Y0 + g.YH}, kGridGreen, 1});
  const ReportPoint corners[] = {{g.X0, g.Y0}, {g.X0 + g.XW, g.Y0}, {g.X0 + g.XW, g.Y0 + g.YH}, {g.X0, g.Y0 + g.YH}};
  for (int i = 0; i < 4; ++i) m.lines.push_back({corners[i], corners[(i + 1) % 4], kBlack, 2});
  const auto tickUp = [&](int32_t x) { m.lines.push_back({{x, g.Y0}, {x, g.Y0 - g.FH}, kBlack, 2}); };
  for (int32_t k = 0; k < (log ? 6 : 5); ++k) {
    tickUp(g.X0 + k * e + 1);
    for (int32_t step = log ? 2 : 1; step <= 9; ++step)
      tickUp(g.X0 + k * e + 1 + (log ? truncated(std::log10(static_cast<double>(step)) * e + 0.5) : (step * e) / 10));
  }
  tickUp(g.X0 + (log ? 6 : 5) * e);

  // Channel ticks, drawn leftwards from the frame.
  const auto tickLeft = [&](int32_t y, int32_t length) {
    m.lines.push_back({{g.X0, y}, {g.X0 - length, y}, kBlack, 2});
  };
  tickLeft(g.Y0, g.FH);
  tickLeft(g.Y0 + g.YH, g.FH);
  const auto [major, minor] = reportChannelSteps(r);
  m.majorStep = major;
  m.minorStep = minor;
  const float rpc = static_cast<float>(g.YH) / static_cast<float>(r);
  const auto tickRows = [&](int32_t step) {
    std::vector<int32_t> rows;
    const int32_t first = (lo / step + 1) * step - lo;
    for (int32_t j = 0; j < r / step; ++j)
      rows.push_back(truncated(static_cast<float>(g.Y0) + static_cast<float>(first + step * j) * rpc));
    return rows;
  };
  for (int32_t y : tickRows(minor)) tickLeft(y, truncated(0.5 * g.FH));
  const std::vector<int32_t> majorRows = tickRows(major);
  for (int32_t y : majorRows) tickLeft(y, g.FH);

  // Labels.
  const auto label = [&](std::string text, int32_t x, int32_t y) {
    m.texts.push_back({std::move(text), {x, y}, g.FH, true});
  };
  const int32_t labelRow = truncated(g.Y0 - 3.5 * g.FH);
  if (log) {
    for (int32_t k = 0; k <= 6; ++k) label(printed("10E+%02d", k), g.X0 + g.FH + k * e, labelRow);
  } else {
    const bool kilo = v >= 5000;
    const int64_t z = kilo ? v / 1000 : v;
    for (int32_t step = 1; step <= 5; ++step)
      label(printed(kilo ? "%lld k" : "%lld", static_cast<long long>(step * z / 5)), g.X0 + g.FH + step * e, labelRow);
  }
  label(printed("%d", lo), g.X0, g.Y0);
  label(printed("%d", hi), g.X0, g.Y0 + g.YH - 2 * g.FH);
  for (size_t j = 0; j < majorRows.size(); ++j)
    label(printed("%d", major * (lo / major + 1 + static_cast<int32_t>(j))), g.X0 - g.FH,
          truncated(majorRows[j] - 0.7 * g.FH));

  // Data block.
  const SpectrumFileHeader& h = s.Working.Header;
  const auto t = h.startTime();
  const int32_t labelsAt = truncated(g.Y0 + 0.8 * g.YH), valuesAt = truncated(g.Y0 + 0.85 * g.YH);
  const struct {
    int32_t x;
    const char* caption;
    std::string value;
  } block[] = {
      {g.X0 + g.XW - g.FH, "File  Name: ", s.Working.Name},
      {truncated(g.X0 + g.XW - 2.5 * g.FH), "Data Com.: ", h.comment()},
      {g.X0 + g.XW - 4 * g.FH,
       "Acq.  Date: ",
       // A header without a start time says so rather than "0 / 0 / 0".
       t.known() ? printed("%4d /%2d /%2d  %2d :%2d :%2d", t.year, t.month, t.day, t.hour, t.minute, t.second)
                 : std::string("unknown")},
      {truncated(g.X0 + g.XW - 5.5 * g.FH), "Real  Time: ", printed("%8.1f", s.Acquisition.RealTime / 10.0)},
      {g.X0 + g.XW - 7 * g.FH, "Live  Time: ", printed("%8.1f", s.Acquisition.LiveTime / 10.0)},
      {truncated(g.X0 + g.XW - 8.5 * g.FH), "Sample ID: ", h.sampleId()},
  };
  for (const auto& item : block) {
    label(item.caption, item.x, labelsAt);
    label(item.value, item.x, valuesAt);
  }

  // Report stamp and captions.
  // The date and the time keep their places unless the text before them
  // could reach them; then they move down so that none runs into the next.
  const int32_t stampX = truncated(g.X0 + g.XW + 1.1 * g.FH), stampY = truncated(g.Y0 + 0.05 * g.YH);
  const char* stampCaption = "Reporting Date: ";
  const int32_t dateY = stampY + std::max(7 * g.FH, reachOf(stampCaption, g.FH) + g.FH / 2);
  const int32_t timeY = dateY + std::max(5 * g.FH, reachOf(date, g.FH) + g.FH);
  label(stampCaption, stampX, stampY);
  label(date, stampX, dateY);
  label(time, stampX, timeY);
  const int32_t captionHeight = truncated(1.5 * g.FH);
  // The axis counts channels; it speaks of energy only when the spectrum
  // has a calibration that gives channels one.
  const char* axisCaption = s.Calibration.Valid ? "E n e r g y  [  C h a n n e l  ]" : "C h a n n e l";
  m.texts.push_back({axisCaption, {g.X0 - 2 * g.FH, truncated(g.Y0 + 0.4 * g.YH)}, captionHeight, true});
  m.texts.push_back({"V Q R N [  V e l q u a r i o n  C o . ,]",
                     {truncated(g.X0 + g.XW + 1.7 * g.FH), truncated(g.Y0 + 0.4 * g.YH)},
                     captionHeight,
                     true});
  m.texts.push_back(
      {"I n t e n s i t y  [  C o u n t s  ]", {truncated(g.X0 + 0.4 * g.XW), g.Y0 - 7 * g.FH}, captionHeight, false});
  addReportLineMarkers(s, m);
  return m;
}

}  // namespace tolvane
