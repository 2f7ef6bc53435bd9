#pragma once
// The mapping setup dialog's logic: memory size, dwell per pass, refresh
// interval, and where the pass spectra are saved.
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
inline constexpr const char* kPassMemoryNotClearedText = "Scan not started: pass memory not cleared";

ScanSetupFields LoadScanSetupFields(Session& session);
// Stores the fields after OK. A dwell or interval that is not a whole
// number, and an interval of 0 or less (the timer would stop), keep the
// old value and say so in the status field. Returns whether every field
// was taken.
[[nodiscard]] bool StoreScanSetupFields(Session& session, const ScanSetupFields& fields);

}  // namespace tolvane
