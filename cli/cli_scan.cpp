// tolvane-cli scan: a mapping scan through the engine's mapping operations:
// the setup sent, the start, the mapping ticks, the stop after N passes.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "acquisition/mapping_tick.h"
#include "acquisition/pass_files.h"
#include "acquisition/pass_keeping.h"
#include "acquisition/scan_run.h"
#include "app/session.h"
#include "cli/cli_common.h"
#include "cli/cli_error.h"
#include "cli/interrupt.h"
#include "device/clock.h"
#include "files/output_path.h"

namespace tolvane::cli {

int runScan(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Run a mapping scan for a number of passes, saving each pass's spectrum as NAME_0001.dat, ...\n"
      "Prints the number of passes counted. SIGINT or SIGTERM stops the scan; the passes counted\n"
      "so far are saved (exit 1).");
  parser.addOption(deviceOption());
  parser.addOption({"memory", "Channels per pass: 512, 1024 or 2048.", "channels", "1024"});
  parser.addOption({"dwell", "Dwell per pass in seconds (0.1 to 86400, in steps of 0.1).", "seconds", "1"});
  parser.addOption({"passes", "Passes to count before aborting (1 to 1000000).", "N"});
  parser.addOption({"save", "Save each pass as NAME_0001.dat, NAME_0002.dat, ... (required).", "NAME"});
  parser.addOption(fastOption());
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  if (!expectPositionals(parser, 0, 0, "--passes N --save NAME [--memory M] [--dwell SECONDS] [--fast]"))
    return kExitUsage;

  bool ok = false;
  const int memory = parser.value("memory").toInt(&ok);
  if (!ok || (memory != 512 && memory != 1024 && memory != 2048))
    return usageError("--memory must be 512, 1024 or 2048, not '" + parser.value("memory").toStdString() + "'");
  const auto dwell = numberOption(parser, "dwell", 0.1, 86400, 1.0, "seconds");
  if (!dwell) return kExitUsage;
  const auto passes = integerOption(parser, "passes", 1, 1000000);
  if (!passes) return kExitUsage;
  const std::string save = parser.value("save").toLocal8Bit().toStdString();
  if (!parser.isSet("save") || save.empty())
    return usageError("--save is required: the pass spectra are written as NAME_0001.dat, ...");
  // The scan numbers its files on past any of an earlier scan.
  const PassFilePlan plan = planPassFiles(save, *passes);
  const std::string firstPass = passFilePath(save, plan.firstNumber, plan.digits);
  // The last pass has the longest name: every name the scan will make is
  // checked before the analyser counts a pass.
  const std::string lastPass = passFilePath(save, plan.firstNumber + *passes - 1, plan.digits);
  for (const std::string& pass : {firstPass, lastPass})
    if (const OutputProblem problem = checkOutputPath(pass); problem != OutputProblem::None)
      return fail(code::kOutput, "cannot save passes as " + pass + ": " + outputProblemText(problem));

  LiveAnalyser analyser(parser);
  if (!analyser.session()) return analyser.exitCode();
  Session& session = *analyser.session();

  // Seconds on the command line; the setup stores tenths, truncated as the
  // dialog does.
  const auto tenths = static_cast<int64_t>(std::trunc(*dwell * 10.0 + 0.001));
  ScanSetup& scan = session.Scan;
  scan.PlannedPasses = *passes;  // sets the width of the pass numbers
  scan.MemorySize = memory;
  scan.PresetTime = static_cast<int32_t>(tenths);
  scan.SavePath = save;
  SendScanSetup(session.Transport, session.Acquisition, scan);
  catchInterrupts();
  if (StartScanRun(session.Transport, session.Acquisition, scan) == LinkOutcome::Done)
    PlanScanPassFiles(session.Passes, scan);
  if (session.Acquisition.Running != 1) return fail(code::kDevice, "the analyser did not start the scan");
  // Said only once the scan runs, so a refused command line stays one line.
  if (plan.firstNumber > 1) note("earlier passes are kept; this scan saves from " + firstPass);
  // Enough ticks for the passes with room to spare; a silent analyser ends
  // the loop instead of hanging it.
  const int interval = std::max(1, session.Scan.RefreshInterval);
  const int64_t tickLimit = (int64_t{*passes} + 2) * (tenths * 100 / interval + 2) + 100;
  for (int64_t tick = 0; session.Acquisition.ScanCount < *passes && tick < tickLimit; ++tick) {
    if (interruptSignal() != 0) break;
    analyser.waitOneTick(interval);
    const MappingTickResult step =
        MappingStep(session.Transport, session.Acquisition, session.Working, session.Display, session.Scan);
    if (step.passCounted()) (void)KeepPass(session, step.Outcome);  // lost and unsaved passes are counted
  }
  if (session.Acquisition.Running == 1 &&
      StopAcquisition(session.Transport, session.Acquisition) != LinkOutcome::Done)
    warn("the analyser did not acknowledge the stop: it may still be scanning");
  const int counted = session.Acquisition.ScanCount;
  std::printf("%d\n", counted);
  if (interruptSignal() != 0)
    return fail(code::kInterrupted, std::string("interrupted by ") + interruptName(interruptSignal()) +
                                        ": the scan was stopped after " + std::to_string(counted) +
                                        " pass(es); their files are saved");
  if (counted < *passes)
    return fail(code::kDevice, "the scan stopped early after " + std::to_string(counted) + " of " +
                                   std::to_string(*passes) + " passes");
  if (const int lost = session.Passes.LostPasses; lost > 0)
    return fail(code::kDevice,
                std::to_string(lost) + " of " + std::to_string(counted) + " passes lost: transfer failed");
  if (const int unsaved = session.Passes.UnsavedPasses; unsaved > 0) {
    // Why, as far as the folder can tell now (it may have been removed).
    const OutputProblem problem = checkOutputPath(firstPass);
    return fail(code::kOutput, std::to_string(unsaved) + " of " + std::to_string(counted) +
                                   " passes could not be saved beside " + save + ": " +
                                   (problem == OutputProblem::None ? "the write failed (disk full?)"
                                                                   : outputProblemText(problem)));
  }
  return kExitOk;
}

}  // namespace tolvane::cli
