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

// Lists the analysers into `link` and opens the one at `index`. The listed
// count goes to DeviceCount (unchanged when the listing itself fails), and
// success sets DeviceOpen.
bool OpenDevice(FtdiApi& api, DeviceLink& link, AcquisitionState& state, int index);

}  // namespace tolvane
