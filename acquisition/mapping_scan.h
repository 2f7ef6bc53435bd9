#pragma once
// The ZORV page: start, abort and clear a mapping scan, and its setup
// dialog's logic (memory size, dwell per pass, refresh interval, and where
// the pass spectra are saved).
#include <functional>
#include <string>

#include "acquisition/pass_files.h"

namespace tolvane {

class Session;

struct ScanSetupFields {
  int MemorySize = 1024;            // the checked size button
  std::string ZORVPreSetTime;       // dwell per pass, in 0.1 s
  std::string DispRefTimer;         // refresh interval, ms
  std::string Edit3 = "File Name";  // the chosen file for the pass spectra
  std::string SavePath;             // full path behind Edit3; empty for none
};

inline constexpr const char* kDwellError = "Error ! Dwell Time";
inline constexpr const char* kRefreshError = "Error ! ReFlesh Timer";
inline constexpr const char* kScanWhileMcaRunsText = "Stop the MCA run before a scan";

// Starts a scan. With "Save Spectrum Data" chosen it numbers the passes on
// from the highest file already there and says in Edit1 where it starts.
// Refused while an MCA acquisition runs: the analyser has one memory.
void ZorvStartClick(Session& session);
void ZorvStopClick(Session& session);
void ZorvClearClick(Session& session);

ScanSetupFields LoadScanSetupFields(Session& session);
// Stores the fields after OK. A dwell or interval that is not a whole
// number, and an interval of 0 or less (the timer would stop), keep the
// old value and say so in the status field. Returns whether every field
// was taken.
bool StoreScanSetupFields(Session& session, const ScanSetupFields& fields);

// "SetUp" on the ZORV page; `runDialog` shows the dialog and returns
// whether it ended with OK.
void Button7Click(Session& session, const std::function<bool(ScanSetupFields&)>& runDialog);

}  // namespace tolvane
