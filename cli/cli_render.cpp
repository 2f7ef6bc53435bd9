// tolvane-cli render: reads a spectrum file as File > Read does, applies
// the view options, and writes the composed plot (the paint box, 528 x 336)
// as a PNG through the same renderer as the window.
#include <QGuiApplication>
#include <QPalette>
#include <cstdio>
#include <cstdlib>

#include "app/session.h"
#include "cli/cli_common.h"
#include "cli/cli_lines.h"
#include "device/clock.h"
#include "device/sim/sim_ftdi.h"
#include "display/plot_calls.h"
#include "display/plot_renderer.h"
#include "display/vfs_ladder.h"
#include "display/view_controls.h"
#include "display/view_labels.h"
#include "files/spectrum_file.h"

namespace tolvane::cli {

namespace {

bool toInt(const QString& text, int& value) {
  bool ok = false;
  value = text.toInt(&ok, 0);
  return ok;
}

// "i:low:high:colour" with the colour as 0x00BBGGRR (hex with 0x, or decimal).
bool applyRoi(Session& s, const QString& text) {
  const QStringList parts = text.split(':');
  int index = 0, low = 0, high = 0;
  bool colourOk = false;
  if (parts.size() != 4 || !toInt(parts[0], index) || !toInt(parts[1], low) || !toInt(parts[2], high)) return false;
  const uint colour = parts[3].toUInt(&colourOk, 0);
  if (!colourOk || index < 0 || index >= RoiTable::kEntries || colour > 0xFFFFFF) return false;
  RoiEntry& roi = s.Rois.Entries[static_cast<size_t>(index)];
  roi.LowChannel = low;
  roi.HighChannel = high;
  roi.Colour = colour;
  roi.Shown = roi.Defined = 1;
  return true;
}

}  // namespace

int runRender(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription("Write the plot of a spectrum file as a PNG picture.");
  parser.addPositionalArgument("file", "Spectrum file (.dat).");
  parser.addOption({"out", "PNG file to write.", "file"});
  parser.addOption({"log", "Logarithmic scale (the default)."});
  parser.addOption({"vfs", "Linear scale at full-scale step N (1..22).", "N"});
  parser.addOption({"first", "First channel shown.", "channel"});
  parser.addOption({"last", "Last channel shown.", "channel"});
  parser.addOption({"cursor", "Cursor channel.", "channel"});
  parser.addOption({"roi", "Show ROI i from low to high in colour 0xBBGGRR (repeatable).", "i:low:high:colour"});
  parser.addOption({"expand", "Press Expand N times.", "N"});
  parser.addOption({"compress", "Press Compress N times.", "N"});
  parser.addOption({"scroll", "Scroll N lines (10 channels each); negative scrolls left.", "N"});
  parser.addOption({"snap", "Press Snap Peak."});
  parser.addOption({"auto", "Press Auto (linear scale fitted to the window)."});
  addLinesOption(parser);
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? 0 : 2;
  if (parser.positionalArguments().size() != 1) return printError("render takes one spectrum file");
  if (!parser.isSet("out")) return printError("--out needs the PNG file to write");
  if (parser.isSet("log") && parser.isSet("vfs")) return printError("--log and --vfs exclude each other");

  ManualClock clock;
  SimFtdi noAnalyser(clock);
  Session session(noAnalyser, clock);
  PlotRenderer renderer(QGuiApplication::palette().color(QPalette::Button));
  session.Painter = &renderer;
  InitialiseState(session);

  const std::string path = parser.positionalArguments().front().toStdString();
  session.Texts.Edit1.clear();
  if (!ReadSpectrumFile(session, path)) return printError("cannot open " + path);
  if (!session.Texts.Edit1.empty())
    return printError(path + " is not a readable spectrum (" + session.Texts.Edit1 + " channels in whole blocks)");

  if (!applyLinesOption(parser, session, "render")) return 1;
  const int m = session.Acquisition.ChannelCount;
  DisplayState& d = session.Display;
  int value = 0;
  if (parser.isSet("first") && (!toInt(parser.value("first"), value) || value < 0 || value >= m))
    return printError("--first must be a channel from 0 to " + std::to_string(m - 1));
  if (parser.isSet("first")) d.FirstShown = value;
  if (parser.isSet("last") && (!toInt(parser.value("last"), value) || value <= d.FirstShown || value >= m))
    return printError("--last must be a channel above --first and below " + std::to_string(m));
  if (parser.isSet("last")) d.LastShown = value;
  if (parser.isSet("cursor") && (!toInt(parser.value("cursor"), value) || value < 0 || value >= m))
    return printError("--cursor must be a channel from 0 to " + std::to_string(m - 1));
  d.Cursor = parser.isSet("cursor") ? value : d.FirstShown + (d.LastShown - d.FirstShown + 1) / 2;
  for (const QString& roi : parser.values("roi"))
    if (!applyRoi(session, roi)) return printError("bad --roi '" + roi.toStdString() + "' (i:low:high:0xBBGGRR)");
  if (parser.isSet("vfs")) {
    if (!toInt(parser.value("vfs"), value) || value < 1 || value > kVfsSteps)
      return printError("--vfs must be a step from 1 to 22");
    d.FullScaleIndex = value;
    DrawLinearFrame(session, true);
  } else {
    DrawLogFrame(session, true);
  }
  ShowViewLabels(session);
  PaintBox1Paint(session);

  // The view controls, in this order, as the window's buttons run them.
  const auto presses = [&](const char* option, int limit, int& count) {
    count = 0;
    return !parser.isSet(option) || (toInt(parser.value(option), count) && std::abs(count) <= limit);
  };
  int expands = 0, compresses = 0, scrolls = 0;
  if (!presses("expand", 64, expands) || expands < 0) return printError("--expand takes a count from 0 to 64");
  if (!presses("compress", 64, compresses) || compresses < 0)
    return printError("--compress takes a count from 0 to 64");
  if (!presses("scroll", 100000, scrolls)) return printError("--scroll takes a line count (negative scrolls left)");
  for (int i = 0; i < expands; ++i) ExpandClick(session);
  for (int i = 0; i < compresses; ++i) CompresClick(session);
  int32_t position = 0;
  for (int i = 0; i < std::abs(scrolls); ++i)
    ScrollBar1Scroll(session, scrolls < 0 ? ScrollCode::LineLeft : ScrollCode::LineRight, position);
  if (parser.isSet("snap")) SnapPeakClick(session);
  if (parser.isSet("auto")) AutoVfsClick(session);

  const std::string out = parser.value("out").toStdString();
  if (!renderer.paintBox().save(QString::fromStdString(out), "PNG")) return printError("cannot write " + out);
  std::printf("%s\n%s\n%s\n", session.Texts.Label1.c_str(), session.Texts.Label2.c_str(), session.Texts.Label3.c_str());
  std::fprintf(stderr, "wrote %s (%dx%d)\n", out.c_str(), renderer.paintBox().width(), renderer.paintBox().height());
  return 0;
}

}  // namespace tolvane::cli
