#pragma once
// The vendor's D2XX library, loaded at run time by its library name from
// the system's library paths. Absent or incomplete, it is reported as not
// available; nothing is linked against it at build time.
#include <memory>
#include <string>

#include "device/ftdi_api.h"

namespace tolvane {

// Returns null with `error` set when the library cannot be loaded.
std::unique_ptr<FtdiApi> loadD2xxBackend(std::string& error);

}  // namespace tolvane
