// tolvane-cli report: the printed plot report of a spectrum file as a PDF.
#include <cstdio>

#include "cli/cli_common.h"
#include "cli/cli_lines.h"
#include "cli/file_session.h"
#include "cli/output_file.h"
#include "display/vfs_ladder.h"
#include "files/report_renderer.h"

namespace tolvane::cli {

int runReport(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription("Write the plot report of a spectrum file as a one-page PDF.");
  parser.addPositionalArgument("FILE", "Spectrum file (.dat).");
  parser.addOption({"out", "PDF file to write (.pdf).", "file"});
  parser.addOption({"first", "First channel shown.", "channel"});
  parser.addOption({"last", "Last channel shown.", "channel"});
  parser.addOption({"log", "Logarithmic scale (the default)."});
  parser.addOption({"vfs", "Linear scale at full-scale step N (1..22).", "N"});
  addLinesOption(parser);
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  if (!expectPositionals(parser, 1, 1, "FILE --out REPORT.pdf [options]")) return kExitUsage;
  if (!parser.isSet("out")) return usageError("--out is required (the PDF file to write)");
  if (!exclusive(parser, "log", "vfs")) return kExitUsage;
  const auto step = integerOption(parser, "vfs", 1, kVfsSteps, 1);
  if (!step) return kExitUsage;
  const std::string out = parser.value("out").toLocal8Bit().toStdString();
  if (const auto stop = refuseOutput(out, {".pdf"})) return *stop;
  FileSession f;
  Session& s = f.session;
  if (!readSpectrum(s, parser.positionalArguments().front().toLocal8Bit().toStdString())) return kExitFailure;
  if (!applyView(parser, s)) return kExitUsage;
  if (!applyLinesOption(parser, s, "report")) return kExitFailure;
  if (parser.isSet("vfs")) {
    s.Display.LogScale = false;
    s.Display.FullScaleIndex = *step;
  }
  if (!writeReportPdf(s, parser.value("out"))) return fail(code::kOutput, "cannot write " + out);
  note("wrote " + out);
  return kExitOk;
}

}  // namespace tolvane::cli
