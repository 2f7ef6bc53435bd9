#include "device/ftdi_api.h"

#include <algorithm>

namespace tolvane {

FtStatus FtdiApi::describeDevices(std::vector<DeviceDescription>& devices) {
  devices.clear();
  SerialList serials{};
  uint32_t count = 0;
  if (const FtStatus status = listDevices(serials, count); status != FtOk) return status;
  for (uint32_t i = 0; i < std::min<uint32_t>(count, kMaxListedDevices); ++i) {
    DeviceDescription d;
    d.serial = serials[i].data();
    devices.push_back(d);
  }
  return FtOk;
}

}  // namespace tolvane
