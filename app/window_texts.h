#pragma once
// What the main window shows outside the plot: the status field, the device
// count field, the scan count, the range and cursor labels, the run buttons
// and the polling timer. The core writes these; the window mirrors them.
#include <string>

namespace tolvane {

// Start-up values are the window's design texts, shown until the first update.
struct WindowTexts {
  std::string Edit1 = "Status";  // status field
  std::string Edit2 = "Dev#";    // device count after "OpenMCA"
  std::string Edit4 = "ScanCount";
  std::string Label1 = "0000ch";       // first shown channel
  std::string Label2 = "2047ch";       // last shown channel
  std::string Label3 = "@1024";        // cursor channel
  std::string Label7 = "12345678";     // counts at the cursor
  std::string Label8 = "0.00";         // cursor energy
  std::string Label9 = "keV";          // energy unit
  std::string FwhmVal = "Ch [ keV ]";  // FWHM result
};

struct TimerState {
  bool Enabled = false;
  int IntervalMs = 100;
};

}  // namespace tolvane
