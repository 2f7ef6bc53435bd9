#pragma once
// The engine half of the MCA page's "Start".
#include "device/mca_commands.h"

namespace tolvane {

class Session;
struct AcquisitionState;

// A new run's spectrum: the MCA slot's header with the local start date and
// time, named "MCA".
void PrepareMcaRun(Session& session);
// After an accepted clear of a spectrum that is not counting: the spectrum
// holds no counts, so it has no real or live time, total or rate either,
// and the kept status block's counters read 0 as the analyser's do.
void ForgetRunTimes(AcquisitionState& acquisition);
// Sends the MCA preset when the analyser holds another one (a scan setup
// leaves its dwell there), then "$G;".
LinkOutcome StartMcaRun(Session& session);

}  // namespace tolvane
