#pragma once
// The mapping setup dialog's logic: memory size, dwell per pass, refresh
// interval, and where the pass spectra are saved.
#include <array>
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
  bool ElementMapON = false;        // "X-ray Mapping ON"
  std::string XMapSize = "100";     // map size in pixels, 1 .. 4096
  std::string YMapSize = "100";
  std::array<bool, 8> MapROI{};     // "ROI #1" .. "ROI #8"
  bool ScanSkipOption = false;      // "Skip Blank[ Ref.ROI # 0 ]"
};

inline constexpr const char* kDwellError = "Error ! Dwell Time";
inline constexpr const char* kRefreshError = "Error ! ReFlesh Timer";
inline constexpr const char* kMapSizeError = "Error ! Map Size (1 - 4096)";
inline constexpr const char* kPassMemoryNotClearedText = "Scan not started: pass memory not cleared";

ScanSetupFields LoadScanSetupFields(Session& session);
// Stores the fields after OK. A dwell or interval that is not a whole
// number, and an interval of 0 or less (the timer would stop), keep the
// old value and say so in the status field. Returns whether every field
// was taken. A map size that is not a whole number from 1 to 4096 keeps
// the old size and says so.
[[nodiscard]] bool StoreScanSetupFields(Session& session, const ScanSetupFields& fields);

}  // namespace tolvane
