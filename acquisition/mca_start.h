#pragma once
// The engine half of the MCA page's "Start".
#include "device/mca_commands.h"

namespace tolvane {

class Session;

// A new run's spectrum: the MCA slot's header with the local start date and
// time, named "MCA".
void PrepareMcaRun(Session& session);
// Sends the MCA preset when the analyser holds another one (a scan setup
// leaves its dwell there), then "$G;".
LinkOutcome StartMcaRun(Session& session);

}  // namespace tolvane
