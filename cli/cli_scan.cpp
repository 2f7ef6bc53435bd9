// tolvane-cli scan: a mapping scan through the ZORV page's operations:
// SetUp, Start, the mapping ticks, Abort after N counted passes.
#include <cstdio>

#include "acquisition/mapping_scan.h"
#include "acquisition/run_control.h"
#include "app/session.h"
#include "cli/cli_common.h"
#include "device/clock.h"
#include "device/mca_open_click.h"

namespace tolvane::cli {

int runScan(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription("Run a mapping scan for a number of passes, saving each pass's spectrum.");
  parser.addOption(deviceOption());
  parser.addOption({"memory", "Channels per pass: 512, 1024 or 2048.", "channels", "1024"});
  parser.addOption({"dwell", "Dwell per pass in 0.1 s.", "tenths", "10"});
  parser.addOption({"passes", "Passes to count before aborting.", "N"});
  parser.addOption({"save", "Save each pass as NAME_0001.dat, NAME_0002.dat, ...", "NAME"});
  parser.addOption(fastOption());
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? 0 : 2;

  bool ok = false;
  const int memory = parser.value("memory").toInt(&ok);
  if (!ok || (memory != 512 && memory != 1024 && memory != 2048)) return printError("--memory is 512, 1024 or 2048");
  const int dwell = parser.value("dwell").toInt(&ok);
  if (!ok || dwell < 1 || dwell > 864000) return printError("--dwell takes tenths of a second from 1 to 864000");
  const int passes = parser.value("passes").toInt(&ok);
  if (!parser.isSet("passes") || !ok || passes < 1 || passes > 1000000)
    return printError("--passes needs a count from 1");
  LiveAnalyser analyser(parser);
  if (!analyser.session()) return 1;
  Session& session = *analyser.session();

  session.Scan.PlannedPasses = passes;  // sets the width of the pass numbers
  Button7Click(session, [&](ScanSetupFields& f) {
    f.MemorySize = memory;
    f.ZORVPreSetTime = std::to_string(dwell);
    f.SavePath = parser.value("save").toLocal8Bit().toStdString();
    return true;
  });
  ZorvStartClick(session);
  if (session.Acquisition.Running != 1) return printError("the analyser did not start the scan");
  // Enough ticks for the passes with room to spare; a silent analyser ends
  // the loop instead of hanging it.
  const int64_t tickLimit = (int64_t{passes} + 2) * (int64_t{dwell} * 100 / session.Timer1.IntervalMs + 2) + 100;
  for (int64_t tick = 0; session.Acquisition.ScanCount < passes && tick < tickLimit; ++tick) {
    analyser.waitOneTick();
    Timer1Timer(session);
  }
  ZorvStopClick(session);
  std::printf("%d\n", session.Acquisition.ScanCount);
  if (session.Acquisition.ScanCount < passes) return printError("the scan stopped early: " + session.Texts.Edit1);
  if (session.Texts.Edit1.rfind("Cannot save", 0) == 0) return printError(session.Texts.Edit1);
  if (const int lost = session.Passes.LostPasses; lost > 0)
    return printError(std::to_string(lost) + " of " + std::to_string(session.Acquisition.ScanCount) +
                      " passes lost: transfer failed");
  return 0;
}

}  // namespace tolvane::cli
