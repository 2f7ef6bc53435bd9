// tolvane-cli report: the printed plot report of a spectrum file as a PDF.
#include <cstdio>

#include "cli/cli_common.h"
#include "cli/cli_lines.h"
#include "cli/file_session.h"
#include "display/vfs_ladder.h"
#include "files/report_renderer.h"

namespace tolvane::cli {

int runReport(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription("Write the plot report of a spectrum file as a one-page PDF.");
  parser.addPositionalArgument("file", "Spectrum file (.dat).");
  parser.addOption({"out", "PDF file to write.", "file"});
  parser.addOption({"first", "First channel shown.", "channel"});
  parser.addOption({"last", "Last channel shown.", "channel"});
  parser.addOption({"log", "Logarithmic scale (the default)."});
  parser.addOption({"vfs", "Linear scale at full-scale step N (1..22).", "N"});
  addLinesOption(parser);
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? 0 : 2;
  if (parser.positionalArguments().size() != 1 || !parser.isSet("out"))
    return printError("report FILE.dat --out report.pdf");
  if (parser.isSet("log") && parser.isSet("vfs")) return printError("--log and --vfs exclude each other");
  FileSession f;
  Session& s = f.session;
  if (!readSpectrum(s, parser.positionalArguments().front().toLocal8Bit().toStdString()) || !applyView(parser, s))
    return 1;
  if (!applyLinesOption(parser, s, "report")) return 1;
  if (parser.isSet("vfs")) {
    bool ok = false;
    const int step = parser.value("vfs").toInt(&ok);
    if (!ok || step < 1 || step > kVfsSteps) return printError("--vfs must be a step from 1 to 22");
    s.Display.LogScale = false;
    s.Display.FullScaleIndex = step;
  }
  if (!writeReportPdf(s, parser.value("out"))) return printError("cannot write " + parser.value("out").toStdString());
  std::fprintf(stderr, "wrote %s\n", qPrintable(parser.value("out")));
  return 0;
}

}  // namespace tolvane::cli
