// tolvane-cli acquire: the MCA page's Start, Timer1's ticks until the preset
// ends the run, then File > Write, all through the same core operations.
#include <unistd.h>

#include <cmath>
#include <cstdio>

#include "acquisition/run_control.h"
#include "app/session.h"
#include "cli/cli_common.h"
#include "cli/cli_precision.h"
#include "device/clock.h"
#include "device/mca_commands.h"
#include "device/mca_open_click.h"
#include "files/spectrum_file.h"

namespace tolvane::cli {

namespace {

void showProgress(const Session& s) {
  std::printf("\r  %8.1f / %.1f s   %8.2f kcps  %s ", s.Acquisition.RealSeconds, s.Mca.PresetTime * 0.1,
              s.Acquisition.CountRate, s.Precision.Readout.c_str());
  std::fflush(stdout);
}

}  // namespace

int runAcquire(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription("Run one acquisition to its preset time and write the spectrum file.");
  parser.addOption(deviceOption());
  parser.addOption({"preset", "Preset real time in seconds.", "seconds"});
  parser.addOption({"out", "Spectrum file to write.", "file"});
  parser.addOption(fastOption());
  addPrecisionOptions(parser);
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? 0 : 2;

  bool ok = false;
  const double seconds = parser.value("preset").toDouble(&ok);
  if (!parser.isSet("preset") || !ok || !(seconds > 0) || seconds > 1e7)
    return printError("--preset needs a number of seconds above 0");
  if (!parser.isSet("out")) return printError("--out needs the spectrum file to write");
  const std::string out = parser.value("out").toStdString();
  LiveAnalyser analyser(parser);
  if (!analyser.session()) return 1;
  Session& session = *analyser.session();

  // Tenths of a second, truncated, as the setup dialog stores them.
  const auto tenths = static_cast<int32_t>(std::trunc(seconds * 10.0 + 0.001));
  session.Mca.PresetTime = tenths;
  session.Acquisition.PresetTime = tenths;
  if (SetPresetTime(session, 0, tenths) != 1) return printError("the analyser refused the preset time");

  if (const std::string usage = applyPrecisionOptions(parser, session); !usage.empty()) {
    printError(usage);
    return 2;
  }

  McaStartClick(session);
  if (session.Acquisition.Running != 1) return printError("the analyser did not start");
  const bool terminal = ::isatty(STDOUT_FILENO) != 0 && !parser.isSet("json");
  while (session.Timer1.Enabled) {
    analyser.waitOneTick();
    Timer1Timer(session);
    if (terminal) showProgress(session);
  }
  if (terminal) std::printf("\n");
  if (session.Texts.Edit1 == kStopLinkFailedText) return printError("acquisition ended early: " + session.Texts.Edit1);

  if (!WriteSpectrumFile(session, out)) return printError("cannot write " + out);
  if (!parser.isSet("json"))
    std::printf("wrote %s: %d channels, real time %.1f s, live time %.1f s\n", out.c_str(),
                session.Acquisition.ChannelCount, session.Acquisition.RealTime * 0.1,
                session.Acquisition.LiveTime * 0.1);
  printRunResult(session, parser.isSet("json"));
  return 0;
}

}  // namespace tolvane::cli
