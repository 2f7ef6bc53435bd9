#pragma once
// The acquire command's run: the MCA steps until the preset ends it,
// bounded in time so that an analyser that stops answering cannot hold the
// command forever, and ended early by an interrupt.
#include <functional>

#include "acquisition/mca_tick.h"
#include "app/session.h"
#include "device/clock.h"

namespace tolvane::cli {

enum class RunEnd {
  PresetReached,     // the analyser ended the run at its preset
  PrecisionReached,  // the precision preset's ROI reached its target first
  Interrupted,       // a signal arrived: the analyser was stopped
  LinkFailed,        // the run stopped before its preset (the link failed)
  TimedOut,          // the preset plus the link time-out passed without an end
};

struct RunHooks {
  std::function<void()> waitOneTick;
  std::function<bool()> interrupted = [] { return false; };
  std::function<void(const Session&)> progress = [](const Session&) {};
};

// One MCA step on `session` with the precision check, recording what ended
// the run when it ended.
McaTickResult runOneTick(Session& session);

// Runs the started acquisition on `session` (whose clock is `clock`) until
// it ends. On an interrupt or a time-out the analyser is told to stop; the
// spectrum and times are those of the last tick that read them.
RunEnd runToPreset(Session& session, const Clock& clock, const RunHooks& hooks);

// How long past the preset a run may go before it is given up.
int64_t runAllowanceMicros(const Session& session);

}  // namespace tolvane::cli
