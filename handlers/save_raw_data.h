#pragma once
// "Save Spectrum Data" in the scan setup dialog. Every click, setting or
// clearing the box, opens the file dialog: a chosen file is shown in Edit3
// and the box is checked; a cancelled dialog leaves the box cleared and no
// file chosen, so the box can always be switched off.
#include <functional>
#include <string>

#include "handlers/scan_setup_handlers.h"

namespace tolvane {

// `chooseFile` runs the file dialog and returns the path, empty when it was
// cancelled. Returns whether the box is checked afterwards.
bool SaveRawDataClick(ScanSetupFields& fields, const std::function<std::string()>& chooseFile);

}  // namespace tolvane
