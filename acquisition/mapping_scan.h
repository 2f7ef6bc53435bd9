#pragma once
// The ZORV page: start, abort and clear a mapping scan, and its setup
// dialog's logic (memory size, dwell per pass, refresh interval, and where
// the pass spectra are saved).
#include <functional>
#include <string>

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

void ZorvStartClick(Session& session);
void ZorvStopClick(Session& session);
void ZorvClearClick(Session& session);

ScanSetupFields LoadScanSetupFields(Session& session);
// Stores the fields after OK. A dwell or interval that is not a whole
// number, and an interval of 0 or less (the timer would stop), keep the
// old value and say so in the status field.
void StoreScanSetupFields(Session& session, const ScanSetupFields& fields);

// "SetUp" on the ZORV page; `runDialog` shows the dialog and returns
// whether it ended with OK.
void Button7Click(Session& session, const std::function<bool(ScanSetupFields&)>& runDialog);

// The file a pass spectrum is saved to: NAME_0001.dat beside the chosen
// file (its extension replaced).
std::string passFilePath(const std::string& chosen, int pass);

}  // namespace tolvane
