// tolvane-cli acquire: the MCA page's Start, the polling steps until the
// preset ends the run, then File > Write, all through the same core operations.
#include <unistd.h>

#include <cmath>
#include <cstdio>

#include "acquisition/mca_start.h"
#include "acquisition/precision_stop.h"
#include "app/session.h"
#include "cli/acquire_run.h"
#include "cli/cli_common.h"
#include "cli/cli_precision.h"
#include "cli/interrupt.h"
#include "cli/output_file.h"
#include "cli/run_output.h"
#include "device/mca_commands.h"
#include "files/spectrum_file.h"

namespace tolvane::cli {

namespace {

void showProgress(const Session& s) {
  // The step that ends the run leaves the count total where the rate goes;
  // an analyser that stopped counts nothing, as the window shows it.
  const float rate = s.Acquisition.Running ? s.Acquisition.CountRate : 0.0f;
  std::fprintf(stderr, "\r  %8.1f / %.1f s   %8.2f kcps  %s ", s.Acquisition.RealSeconds, s.Mca.PresetTime * 0.1,
               static_cast<double>(rate), s.Precision.Readout.c_str());
}

std::string timesText(const Session& s) {
  char text[96];
  std::snprintf(text, sizeof text, "real time %.1f s, live time %.1f s", s.Acquisition.RealTime / 10.0,
                s.Acquisition.LiveTime / 10.0);
  return text;
}

// Why an unfinished run went elsewhere than asked: "" when it did not.
std::string keptText(const RunOutput& saved) { return saved.asAsked ? "" : saved.reason + "; "; }

// What became of the stop sent on an interrupt.
std::string stopText(const AcquisitionState& a) {
  if (a.Running == 1) return "the analyser refused to stop and is still counting";
  if (a.StopUnconfirmed) return "the analyser did not answer the stop and may still be counting";
  return "the analyser was stopped";
}

}  // namespace

int runAcquire(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Run one acquisition to its preset time and write the spectrum file.\n"
      "A run that reaches its preset replaces an existing file. SIGINT or SIGTERM stops the analyser\n"
      "and writes what was counted (exit 1), beside an existing file as FILE.interrupted-N.dat.\n"
      "A spectrum that cannot be written where asked goes beside it or into the working folder\n"
      "as FILE.unsaved-N.dat (exit 1); the message says where.");
  parser.addOption(deviceOption());
  parser.addOption({"preset", "Preset real time in seconds (0.1 to 10000000, in steps of 0.1).", "seconds"});
  parser.addOption({"out", "Spectrum file to write (.dat).", "file"});
  parser.addOption(fastOption());
  addPrecisionOptions(parser);
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  if (!expectPositionals(parser, 0, 0, "--preset SECONDS --out FILE.dat [--device KIND] [--fast]")) return kExitUsage;

  const auto seconds = numberOption(parser, "preset", 0.1, 1e7, std::nullopt, "seconds");
  if (!seconds) return kExitUsage;
  if (!parser.isSet("out")) return usageError("--out is required (the spectrum file to write)");
  const std::string out = parser.value("out").toStdString();
  if (const auto stop = refuseOutput(out, {".dat"})) return *stop;
  LiveAnalyser analyser(parser);
  if (!analyser.session()) return analyser.exitCode();
  Session& session = *analyser.session();

  // Tenths of a second, truncated, as the setup dialog stores them.
  const auto tenths = static_cast<int32_t>(std::trunc(*seconds * 10.0 + 0.001));
  session.Mca.PresetTime = tenths;
  session.Acquisition.PresetTime = tenths;
  if (SetPresetTime(session.Transport, session.Acquisition, tenths) != LinkOutcome::Done)
    return fail(code::kDevice, "the analyser refused the preset time");

  if (const std::string usage = applyPrecisionOptions(parser, session); !usage.empty()) return usageError(usage);

  const bool json = parser.isSet("json");
  catchInterrupts();
  PrepareMcaRun(session);
  if (StartMcaRun(session) != LinkOutcome::Done || session.Acquisition.Running != 1)
    return fail(code::kDevice, "the analyser did not start");
  const bool terminal = ::isatty(STDERR_FILENO) != 0;
  RunHooks hooks;
  hooks.waitOneTick = [&] { analyser.waitOneTick(); };
  hooks.interrupted = [] { return interruptSignal() != 0; };
  if (terminal) hooks.progress = showProgress;
  const RunEnd end = runToPreset(session, analyser.clock(), hooks);
  if (terminal) std::fputs("\n", stderr);
  // A run the precision preset ended says so, as the window's status field does.
  if (end == RunEnd::PrecisionReached) std::fprintf(stderr, "%s\n", precisionStopText(session.Precision).c_str());

  // Whatever ended the run, what was counted is written: a run that ended
  // at its preset replaces the file, any other run keeps an existing file
  // and goes beside it.
  const bool complete = end == RunEnd::PresetReached || end == RunEnd::PrecisionReached;
  const RunOutput saved = writeRunSpectrum(session, out, complete);
  const std::string where = saved.path.empty() ? "" : "wrote what was counted to " + saved.path;
  if (saved.path.empty())
    return fail(code::kOutput, saved.reason + "; nor could the spectrum be saved beside it or in the working "
                                              "folder: the counts are lost (" + timesText(session) + ")");
  switch (end) {
    case RunEnd::PresetReached:
    case RunEnd::PrecisionReached:
      if (!saved.asAsked)
        return fail(code::kOutput, saved.reason + "; " + where + " (" + timesText(session) + ")");
      if (!json)
        std::printf("wrote %s: %d channels, %s\n", out.c_str(), session.Acquisition.ChannelCount,
                    timesText(session).c_str());
      printRunResult(session, json);
      return kExitOk;
    case RunEnd::Interrupted:
      return fail(code::kInterrupted, std::string("interrupted by ") + interruptName(interruptSignal()) + ": " +
                                          stopText(session.Acquisition) + "; " + keptText(saved) + where + " (" +
                                          timesText(session) + ")");
    case RunEnd::LinkFailed:
      return fail(code::kDevice, "the run ended before its preset (link failure); " + keptText(saved) + where +
                                     " (" + timesText(session) + ")");
    case RunEnd::TimedOut:
      return fail(code::kDevice,
                  "the analyser stopped answering; gave up after the preset plus the link time-out; " +
                      keptText(saved) + where + " (" + timesText(session) + ")");
  }
  return kExitFailure;
}

}  // namespace tolvane::cli
