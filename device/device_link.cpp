#include "device/device_link.h"

#include "records/shared_records.h"

namespace tolvane {

OpenOutcome OpenAnalyser(FtdiApi& api, DeviceLink& link, AcquisitionState& state, int index) {
  uint32_t count = 0;
  if (api.listDevices(link.Serials, count) != FtOk) return OpenOutcome::ListFailed;
  state.DeviceCount = static_cast<int32_t>(count);
  // Only the first kMaxListedDevices serials exist in the table.
  if (index < 0 || index >= state.DeviceCount || index >= kMaxListedDevices) return OpenOutcome::NotListed;

  FtHandle handle = nullptr;
  if (api.openBySerial(link.Serials[static_cast<size_t>(index)].data(), handle) != FtOk) return OpenOutcome::OpenFailed;
  link.Handles[static_cast<size_t>(index)] = handle;
  if (api.resetDevice(handle) != FtOk) return OpenOutcome::ResetFailed;
  if (api.setLatencyTimer(handle, kLatencyMillis) != FtOk) return OpenOutcome::LatencyFailed;
  // The results of these two are not needed to go on: a link that cannot
  // take them will fail its first transaction anyway.
  api.setTimeouts(handle, kLinkTimeoutMillis, kLinkTimeoutMillis);
  api.purge(handle, FtPurgeRx | FtPurgeTx);
  state.DeviceOpen = 1;
  // What the analyser holds is unknown: an earlier session may have left it
  // counting (leaving without saving sends no stop), so the first scan
  // empties the pass memory before it starts.
  state.PassMemoryUsed = true;
  return OpenOutcome::Opened;
}

bool OpenDevice(FtdiApi& api, DeviceLink& link, AcquisitionState& state, int index) {
  return OpenAnalyser(api, link, state, index) == OpenOutcome::Opened;
}

}  // namespace tolvane
