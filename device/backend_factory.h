#pragma once
// Chooses the link to the analyser: the simulated analyser, libftdi1, or the
// vendor's D2XX library. "auto" takes D2XX when it loads and libftdi1
// otherwise; it never falls back to the simulator without being asked.
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "device/ftdi_api.h"

namespace tolvane {

class Clock;

enum class BackendKind { Auto, Sim, Libftdi, D2xx };

std::optional<BackendKind> parseBackendKind(std::string_view text);  // auto|sim|libftdi|d2xx

// Null with `error` set when the chosen backend is not available.
std::unique_ptr<FtdiApi> makeBackend(BackendKind kind, Clock& clock, std::string& error);

}  // namespace tolvane
