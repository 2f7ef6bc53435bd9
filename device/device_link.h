#pragma once
// The table of opened analysers and the open sequence: list the attached
// analysers by serial number, open one, reset it and set latency, time-outs
// and purge before the first command.
#include <array>

#include "device/ftdi_api.h"

namespace tolvane {

struct AcquisitionState;

struct DeviceLink {
  // Written only by a successful open, never cleared; index 0 is the one
  // every command uses.
  std::array<FtHandle, kMaxListedDevices> Handles{};
  SerialList Serials{};
};

inline constexpr uint8_t kLatencyMillis = 6;
inline constexpr uint32_t kLinkTimeoutMillis = 3000;

enum class [[nodiscard]] OpenOutcome {
  Opened,         // listed, opened, reset and configured
  ListFailed,     // the listing call failed: DeviceCount unchanged
  NotListed,      // fewer analysers listed than the index asks for
  OpenFailed,     // the open by serial number failed
  ResetFailed,    // opened (the handle stays in the table) but not reset
  LatencyFailed,  // opened and reset, but the latency could not be set
};

// Lists the analysers into `link` and opens the one at `index`. The listed
// count goes to DeviceCount (unchanged when the listing itself fails), and
// success sets DeviceOpen.
OpenOutcome OpenAnalyser(FtdiApi& api, DeviceLink& link, AcquisitionState& state, int index);
// OpenAnalyser, true when it Opened.
[[nodiscard]] bool OpenDevice(FtdiApi& api, DeviceLink& link, AcquisitionState& state, int index);

}  // namespace tolvane
