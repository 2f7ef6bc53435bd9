#include "cli/acquire_run.h"

#include "acquisition/run_control.h"
#include "device/device_link.h"

namespace tolvane::cli {

int64_t runAllowanceMicros(const Session& s) {
  // The link's time-out for the last exchange, and two ticks for the
  // analyser's own clock to reach the preset.
  return int64_t{kLinkTimeoutMillis} * 1000 + 2 * int64_t{s.Timer1.IntervalMs} * 1000;
}

RunEnd runToPreset(Session& s, const Clock& clock, const RunHooks& hooks) {
  const int64_t deadline = clock.nowMicros() + int64_t{s.Mca.PresetTime} * 100000 + runAllowanceMicros(s);
  while (s.Timer1.Enabled) {
    if (hooks.interrupted()) {
      // One more tick reads the counts and the times that go with them;
      // then the analyser stops.
      Timer1Timer(s);
      McaStopClick(s);
      return RunEnd::Interrupted;
    }
    if (clock.nowMicros() > deadline) {
      McaStopClick(s);
      s.Timer1.Enabled = false;
      s.Acquisition.Running = 0;
      return RunEnd::TimedOut;
    }
    hooks.waitOneTick();
    Timer1Timer(s);
    hooks.progress(s);
  }
  // The timer stops at the preset or at the precision target; stopped
  // before either, the link failed.
  if (s.Precision.StoppedBy == StopReason::Precision) return RunEnd::PrecisionReached;
  return s.Acquisition.Status.realTimeTicks() / 10 >= s.Mca.PresetTime ? RunEnd::PresetReached : RunEnd::LinkFailed;
}

}  // namespace tolvane::cli
