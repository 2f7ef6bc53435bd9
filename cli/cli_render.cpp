// tolvane-cli render: reads a spectrum file as File > Read does, applies
// the view options, and writes the composed plot (the paint box, 528 x 336)
// as a PNG through the same renderer as the window.
#include <QBuffer>
#include <QGuiApplication>
#include <QPalette>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/session.h"
#include "cli/cli_common.h"
#include "cli/cli_lines.h"
#include "cli/file_session.h"
#include "cli/output_file.h"
#include "device/clock.h"
#include "device/sim/sim_ftdi.h"
#include "display/plot_model.h"
#include "display/plot_renderer.h"
#include "display/vfs_ladder.h"
#include "display/view_controls.h"
#include "files/spectrum_file.h"
#include "lines/plot_line_markers.h"

namespace tolvane::cli {

namespace {

bool toInt(const QString& text, int& value) {
  bool ok = false;
  value = text.toInt(&ok, 0);
  return ok;
}

// "i:low:high:colour" with the colour as 0x00BBGGRR (hex with 0x, or
// decimal); the window must lie inside the spectrum, low <= high.
bool applyRoi(Session& s, const QString& text) {
  const QStringList parts = text.split(':');
  int index = 0, low = 0, high = 0;
  bool colourOk = false;
  if (parts.size() != 4 || !toInt(parts[0], index) || !toInt(parts[1], low) || !toInt(parts[2], high)) return false;
  const uint colour = parts[3].toUInt(&colourOk, 0);
  if (!colourOk || index < 0 || index >= RoiTable::kEntries || colour > 0xFFFFFF) return false;
  if (low < 0 || high < low || high >= s.Acquisition.ChannelCount) return false;
  RoiEntry& roi = s.Rois.Entries[static_cast<size_t>(index)];
  roi.LowChannel = low;
  roi.HighChannel = high;
  roi.Colour = colour;
  roi.Shown = roi.Defined = 1;
  return true;
}

// A file brings its times but no count rate or event count: the plot
// shows the dead time its own real and live times give, and leaves the
// rate readouts empty.
void showFileFigures(Session& s) {
  AcquisitionState& a = s.Acquisition;
  s.Display.RatesKnown = false;
  s.Display.DeadTimeKnown = a.RealTime > 0 && a.LiveTime >= 0 && a.LiveTime <= a.RealTime;
  a.DeadTimePerMille = s.Display.DeadTimeKnown
                           ? static_cast<int32_t>(std::lround((a.RealTime - a.LiveTime) * 1000.0 / a.RealTime))
                           : 0;
}

}  // namespace

int runRender(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription("Write the plot of a spectrum file as a PNG picture.");
  parser.addPositionalArgument("FILE", "Spectrum file (.dat).");
  parser.addOption({"out", "PNG file to write (.png).", "file"});
  parser.addOption({"log", "Logarithmic scale (the default)."});
  parser.addOption({"vfs", "Linear scale at full-scale step N (1..22).", "N"});
  parser.addOption({"first", "First channel shown.", "channel"});
  parser.addOption({"last", "Last channel shown.", "channel"});
  parser.addOption({"cursor", "Cursor channel.", "channel"});
  parser.addOption({"roi", "Show ROI i from low to high in colour 0xBBGGRR (repeatable).", "i:low:high:colour"});
  parser.addOption({"expand", "Press Expand N times.", "N"});
  parser.addOption({"compress", "Press Compress N times.", "N"});
  parser.addOption({"scroll",
                    "Scroll N lines (10 channels each); negative scrolls left. Counts beyond the spectrum's "
                    "width are clamped to it.",
                    "N"});
  parser.addOption({"snap", "Press Snap Peak."});
  parser.addOption({"auto", "Press Auto (linear scale fitted to the window)."});
  addLinesOption(parser);
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  if (!expectPositionals(parser, 1, 1, "FILE --out PLOT.png [options]")) return kExitUsage;
  if (!parser.isSet("out")) return usageError("--out is required (the PNG file to write)");
  if (!exclusive(parser, "log", "vfs") || !exclusive(parser, "auto", "vfs") || !exclusive(parser, "auto", "log"))
    return kExitUsage;
  const std::string out = parser.value("out").toStdString();
  if (const auto stop = refuseOutput(out, {".png"})) return *stop;

  ManualClock clock;
  SimFtdi noAnalyser(clock);
  Session session(noAnalyser, clock);
  PlotRenderer renderer(QGuiApplication::palette().color(QPalette::Button));
  session.Painter = &renderer;
  InitialiseState(session);

  if (!readSpectrum(session, parser.positionalArguments().front().toStdString())) return kExitFailure;

  showFileFigures(session);
  if (!applyLinesOption(parser, session, "render")) return 1;
  const int m = session.Acquisition.ChannelCount;
  DisplayState& d = session.Display;
  int value = 0;
  if (parser.isSet("first") && (!toInt(parser.value("first"), value) || value < 0 || value >= m))
    return usageError("--first must be a channel from 0 to " + std::to_string(m - 1));
  if (parser.isSet("first")) d.FirstShown = value;
  if (parser.isSet("last") && (!toInt(parser.value("last"), value) || value <= d.FirstShown || value >= m))
    return usageError("--last must be a channel from " + std::to_string(d.FirstShown + 1) + " to " +
                      std::to_string(m - 1));
  if (parser.isSet("last")) d.LastShown = value;
  if (parser.isSet("cursor") && (!toInt(parser.value("cursor"), value) || value < 0 || value >= m))
    return usageError("--cursor must be a channel from 0 to " + std::to_string(m - 1));
  d.Cursor = parser.isSet("cursor") ? value : d.FirstShown + (d.LastShown - d.FirstShown + 1) / 2;
  for (const QString& roi : parser.values("roi"))
    if (!applyRoi(session, roi))
      return usageError("bad --roi '" + roi.toStdString() + "': i:low:high:0xBBGGRR with i from 0 to " +
                        std::to_string(RoiTable::kEntries - 1) + ", 0 <= low <= high <= " + std::to_string(m - 1) +
                        ", colour up to 0xFFFFFF");
  if (parser.isSet("vfs")) {
    if (!toInt(parser.value("vfs"), value) || value < 1 || value > kVfsSteps)
      return usageError("--vfs must be a step from 1 to 22");
    d.FullScaleIndex = value;
    d.LogScale = false;
  } else {
    d.LogScale = true;
  }

  // The view controls, in this order, with the rules the window's buttons
  // follow in local mode.
  const auto expands = integerOption(parser, "expand", 0, 64, 0);
  if (!expands) return kExitUsage;
  const auto compresses = integerOption(parser, "compress", 0, 64, 0);
  if (!compresses) return kExitUsage;
  const auto lines = integerOption(parser, "scroll", -1000000, 1000000, 0);
  if (!lines) return kExitUsage;
  // Past the spectrum's width a scroll line changes nothing: clamp at once
  // instead of pressing the arrow a million times.
  const int widest = m / 10 + 1;
  int scrolls = std::clamp(*lines, -widest, widest);
  if (scrolls != *lines)
    warn("--scroll " + std::to_string(*lines) + " clamped to " + std::to_string(scrolls) + " (the range is -" +
         std::to_string(widest) + " to " + std::to_string(widest) + " for " + std::to_string(m) + " channels)");
  for (int i = 0; i < *expands; ++i) expandLocalView(session);
  for (int i = 0; i < *compresses; ++i) compressLocalView(session);
  int32_t position = 0;
  for (int i = 0; i < std::abs(scrolls); ++i)
    scrollLocalView(session, scrolls < 0 ? ScrollCode::LineLeft : ScrollCode::LineRight, position);
  if (parser.isSet("snap"))
    if (const auto peak = snapPeak(session)) {
      d.PeakCentroid = peak->centroid;
      d.Cursor = peak->cursor;
    }
  if (parser.isSet("auto")) {
    d.LogScale = false;
    d.FullScaleIndex = autoFullScaleStep(viewMaximum(session));
  }

  // The plot as the window shows it for this view: scale frame, channel
  // axis, then the paint.
  refreshMarkedLines(session.Lines);
  buildChannelTicks(session, session.Plot);
  renderer.drawChannelAxis(session.Plot);
  buildScaleFrame(session, d.LogScale, true, session.Plot);
  renderer.drawScaleFrame(session.Plot, true);
  buildPaintModel(session, session.Plot);
  renderer.paint(session.Plot);

  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!renderer.paintBox().save(&buffer, "PNG")) return fail(code::kFailed, "the plot could not be encoded as PNG");
  if (const auto problem = writeOutput(out, png.constData(), static_cast<size_t>(png.size())))
    return fail(code::kOutput, *problem);
  // The range and cursor labels under the plot.
  std::printf("%dch\n%dch\n%d\n", d.FirstShown, d.LastShown, d.Cursor);
  note("wrote " + out + " (" + std::to_string(renderer.paintBox().width()) + "x" +
       std::to_string(renderer.paintBox().height()) + ")");
  return kExitOk;
}

}  // namespace tolvane::cli
