#include "device/sim/sim_ftdi.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "device/clock.h"

namespace tolvane {

SimulatedAnalyser& SimFtdi::attach(SimulatedAnalyserConfig config) {
  auto port = std::make_unique<Port>();
  port->analyser = std::make_unique<SimulatedAnalyser>(clock_, std::move(config));
  analysers_.push_back(std::move(port));
  return *analysers_.back()->analyser;
}

SimFtdi::Port* SimFtdi::portOf(FtHandle handle) {
  for (auto& port : analysers_)
    if (port.get() == handle && port->open) return port.get();
  return nullptr;
}

FtStatus SimFtdi::listDevices(SerialList& serials, uint32_t& count) {
  if (faults_.failList) return FtIoError;
  uint32_t attached = 0;
  for (auto& port : analysers_) {
    if (!port->analyser->connected()) continue;
    if (attached < kMaxListedDevices) {
      auto& slot = serials[attached];
      slot.fill('\0');
      const std::string& serial = port->analyser->serial();
      std::memcpy(slot.data(), serial.data(), std::min(serial.size(), slot.size() - 1));
    }
    ++attached;
  }
  count = attached;
  return FtOk;
}

FtStatus SimFtdi::openBySerial(const char* serial, FtHandle& handle) {
  if (faults_.failOpen) return FtDeviceNotOpened;
  for (auto& port : analysers_) {
    if (port->analyser->serial() != serial || !port->analyser->connected()) continue;
    if (port->open) return FtDeviceNotOpened;  // one open handle per device
    port->open = true;
    handle = port.get();
    return FtOk;
  }
  return FtDeviceNotFound;
}

FtStatus SimFtdi::resetDevice(FtHandle handle) {
  Port* port = portOf(handle);
  if (!port) return FtInvalidHandle;
  if (faults_.failReset || !port->analyser->connected()) return FtIoError;
  port->analyser->purgeInput();
  port->analyser->purgeOutput();
  return FtOk;
}

FtStatus SimFtdi::setLatencyTimer(FtHandle handle, uint8_t milliseconds) {
  Port* port = portOf(handle);
  if (!port) return FtInvalidHandle;
  if (faults_.failLatency || !port->analyser->connected()) return FtIoError;
  port->latencyMs = milliseconds;
  return FtOk;
}

FtStatus SimFtdi::setTimeouts(FtHandle handle, uint32_t readMs, uint32_t /*writeMs*/) {
  Port* port = portOf(handle);
  if (!port) return FtInvalidHandle;
  port->readTimeoutMs = readMs;
  return FtOk;
}

FtStatus SimFtdi::purge(FtHandle handle, uint32_t mask) {
  Port* port = portOf(handle);
  if (!port) return FtInvalidHandle;
  if (mask & FtPurgeRx) port->analyser->purgeOutput();
  if (mask & FtPurgeTx) port->analyser->purgeInput();
  return FtOk;
}

FtStatus SimFtdi::write(FtHandle handle, const void* data, uint32_t size, uint32_t& written) {
  written = 0;
  Port* port = portOf(handle);
  if (!port) return FtInvalidHandle;
  if (!port->analyser->connected()) return FtIoError;
  port->analyser->receive(static_cast<const uint8_t*>(data), size);
  written = size;
  if (faults_.failPollTimes > 0 &&
      std::string_view(static_cast<const char*>(data), size) == faults_.failPollAfterFrame) {
    --faults_.failPollTimes;
    failNextPoll_ = true;
  }
  return FtOk;
}

FtStatus SimFtdi::getQueueStatus(FtHandle handle, uint32_t& waiting) {
  waiting = 0;
  Port* port = portOf(handle);
  if (!port) return FtInvalidHandle;
  if (!port->analyser->connected()) return FtIoError;
  if (failNextPoll_) {
    failNextPoll_ = false;
    return FtIoError;
  }
  waiting = port->analyser->waiting();
  return FtOk;
}

FtStatus SimFtdi::read(FtHandle handle, void* data, uint32_t size, uint32_t& received) {
  received = 0;
  Port* port = portOf(handle);
  if (!port) return FtInvalidHandle;
  // Like the real bridge, a read waits for the bytes it asked for until the
  // read time-out, then returns what it has.
  const int64_t deadline = clock_.nowMicros() + int64_t{port->readTimeoutMs} * 1000;
  while (port->analyser->connected() && port->analyser->waiting() < size && clock_.nowMicros() < deadline)
    clock_.sleepMicros(500);
  if (!port->analyser->connected()) return FtIoError;
  received = port->analyser->take(static_cast<uint8_t*>(data), size);
  return FtOk;
}

void SimFtdi::close(FtHandle handle) {
  if (Port* port = portOf(handle)) port->open = false;
}

}  // namespace tolvane
