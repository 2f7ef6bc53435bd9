#include "cli/acquire_run.h"

#include "acquisition/precision_stop.h"
#include "device/device_link.h"
#include "device/mca_commands.h"

namespace tolvane::cli {

int64_t runAllowanceMicros(const Session&) {
  // The link's time-out for the last exchange, and two ticks for the
  // analyser's own clock to reach the preset.
  return int64_t{kLinkTimeoutMillis} * 1000 + 2 * int64_t{kPollIntervalMillis} * 1000;
}

McaTickResult runOneTick(Session& s) {
  const McaTickResult tick =
      McaStep({s.Transport, s.Acquisition, s.Working, s.Display, s.Mca}, [&s] { return PrecisionReached(s); });
  if (tick.runEnded())
    NoteRunEnd(s, tick.Outcome == McaTickOutcome::PresetReached ? StopReason::Preset : StopReason::Precision);
  return tick;
}

RunEnd runToPreset(Session& s, const Clock& clock, const RunHooks& hooks) {
  const int64_t deadline = clock.nowMicros() + int64_t{s.Mca.PresetTime} * 100000 + runAllowanceMicros(s);
  if (s.Acquisition.Running != 1) return RunEnd::LinkFailed;  // the start was not acknowledged
  for (;;) {
    if (hooks.interrupted()) {
      // One more tick reads the counts and the times that go with them
      // (one that reads nothing keeps those of the tick before); then the
      // analyser stops. Running and StopUnconfirmed tell whether it did.
      (void)runOneTick(s);
      (void)StopAcquisition(s.Transport, s.Acquisition);
      return RunEnd::Interrupted;
    }
    if (clock.nowMicros() > deadline) {
      (void)StopAcquisition(s.Transport, s.Acquisition);  // it no longer answers; the run is over here
      s.Acquisition.Running = 0;
      return RunEnd::TimedOut;
    }
    hooks.waitOneTick();
    const McaTickResult tick = runOneTick(s);
    hooks.progress(s);
    switch (tick.Outcome) {
      case McaTickOutcome::PresetReached:
        return RunEnd::PresetReached;
      case McaTickOutcome::PrecisionReached:
        return RunEnd::PrecisionReached;
      case McaTickOutcome::Counting:
      case McaTickOutcome::StatusMissed:
        break;
    }
  }
}

}  // namespace tolvane::cli
