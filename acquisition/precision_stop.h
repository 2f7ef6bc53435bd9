#pragma once
// The precision preset: an optional second stop condition of an MCA run.
// When it is on, the run ends at whichever comes first, the preset real
// time or the moment the net sum of one ROI has a relative standard
// deviation at or below the target. While the run goes on it keeps the
// current relative sigma and an estimate of the time still needed.
#include <cstdint>
#include <string>

#include "roi/roi_net.h"

namespace tolvane {

class Session;

enum class StopReason { None, Preset, Precision };

struct PrecisionStop {
  // Settings (off by default: the run then ends at the preset time only).
  bool Enabled = false;
  int32_t Roi = 0;         // ROI entry 0 .. 15
  float TargetPct = 1.0f;  // relative sigma of the net sum, percent

  // Progress of the run, updated on every tick with a fresh status block.
  RoiNetSums Sums;
  double RelSigmaPct = 0.0;       // infinity while the net sum is not above 0
  double SecondsToTarget = -1.0;  // estimate; -1 when none can be made
  StopReason StoppedBy = StopReason::None;
  std::string Readout;  // "σ 2.3 % → 1.0 % in ~42 s"
};

// Seconds still needed to bring the relative sigma from `nowPct` to
// `targetPct` after `elapsedSeconds` of counting, if the rates stay as they
// were: sigma falls as one over the square root of the counting time.
// Returns 0 when the target is reached and -1 when no estimate exists.
double secondsToPrecision(double nowPct, double targetPct, double elapsedSeconds);

// The readout while acquiring, e.g. "σ 2.3 % → 1.0 % in ~42 s".
std::string precisionReadout(double nowPct, double targetPct, double secondsToTarget);

// Part of the MCA tick, with a fresh status block and the working counts of
// this tick: updates the progress and says whether the run must end now
// for precision. Always false when the precision preset is off or the ROI
// has no channels.
bool PrecisionReached(Session& session);

// After the run ended and the spectrum was read once more: records what
// stopped it and the final net sums.
void NoteRunEnd(Session& session, StopReason reason);

// Why the precision preset ended a run, e.g.
// "Stopped: ROI # 0 net σ 0.50 % reached".
std::string precisionStopText(const PrecisionStop& stop);

}  // namespace tolvane
