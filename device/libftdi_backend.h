#pragma once
// Real analysers through libftdi1. libftdi1 has no queue-status call, so
// each handle keeps a receive buffer that short reads from the bridge fill;
// its size is the number of bytes waiting.
#include <memory>
#include <string>

#include "device/ftdi_api.h"

namespace tolvane {

class Clock;

// Null with `error` set when libftdi1 cannot start.
std::unique_ptr<FtdiApi> makeLibftdiBackend(Clock& clock, std::string& error);

}  // namespace tolvane
