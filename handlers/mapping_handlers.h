#pragma once
// The ZORV page: start, abort and clear a mapping scan, its "SetUp", and
// the polling timer's tick while a scan runs.
#include <functional>

#include "handlers/scan_setup_handlers.h"

namespace tolvane {

class Session;

// Starts a scan. With "Save Spectrum Data" chosen it numbers the passes on
// from the highest file already there and says in Edit1 where it starts.
// Refused while an MCA acquisition runs: the analyser has one memory.
void ZorvStartClick(Session& session);
void ZorvStopClick(Session& session);
void ZorvClearClick(Session& session);

// "SetUp" on the ZORV page; `runDialog` shows the dialog and returns
// whether it ended with OK.
void Button7Click(Session& session, const std::function<bool(ScanSetupFields&)>& runDialog);
// Its two halves, for a window that shows the dialog on its own thread and
// talks to the analyser on another: the fields the dialog opens with, and
// after OK, storing them and sending the dwell preset and memory size.
ScanSetupFields OpenScanSetup(Session& session);
void ApplyScanSetup(Session& session, const ScanSetupFields& fields);

// The mapping tick: count and save each pass, show the view and scan
// count, and draw the analyser's preview.
void MappingTick(Session& session);

}  // namespace tolvane
