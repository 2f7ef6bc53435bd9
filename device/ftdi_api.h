#pragma once
// The operations the program uses on the USB-serial bridge, shaped like the
// FTDI D2XX calls: every call returns a status code, 0 (FtOk) on success.
// Backends: the built-in simulated analyser, libftdi1, and the vendor D2XX
// library loaded at run time.
#include <array>
#include <cstdint>
#include <string>

namespace tolvane {

using FtStatus = uint32_t;
inline constexpr FtStatus FtOk = 0;
inline constexpr FtStatus FtInvalidHandle = 1;
inline constexpr FtStatus FtDeviceNotFound = 2;
inline constexpr FtStatus FtDeviceNotOpened = 3;
inline constexpr FtStatus FtIoError = 4;
inline constexpr FtStatus FtInvalidParameter = 6;
inline constexpr FtStatus FtOtherError = 18;

using FtHandle = void*;

inline constexpr uint8_t FtPurgeRx = 1;
inline constexpr uint8_t FtPurgeTx = 2;

// Serial-number table filled by a listing: room for five analysers, 64
// bytes each. A backend never writes more than five entries, whatever the
// number of attached devices it reports.
inline constexpr int kMaxListedDevices = 5;
inline constexpr int kSerialBufferSize = 64;
using SerialList = std::array<std::array<char, kSerialBufferSize>, kMaxListedDevices>;

class FtdiApi {
 public:
  virtual ~FtdiApi() = default;

  // A short name for messages and the window caption ("simulated analyser").
  virtual std::string backendName() const = 0;
  virtual bool isSimulated() const { return false; }

  // Lists every attached device by serial number. `count` receives the
  // number attached; at most kMaxListedDevices serials are copied.
  virtual FtStatus listDevices(SerialList& serials, uint32_t& count) = 0;
  virtual FtStatus openBySerial(const char* serial, FtHandle& handle) = 0;
  virtual FtStatus resetDevice(FtHandle handle) = 0;
  virtual FtStatus setLatencyTimer(FtHandle handle, uint8_t milliseconds) = 0;
  virtual FtStatus setTimeouts(FtHandle handle, uint32_t readMs, uint32_t writeMs) = 0;
  virtual FtStatus purge(FtHandle handle, uint32_t mask) = 0;
  virtual FtStatus write(FtHandle handle, const void* data, uint32_t size, uint32_t& written) = 0;
  virtual FtStatus getQueueStatus(FtHandle handle, uint32_t& waiting) = 0;
  virtual FtStatus read(FtHandle handle, void* data, uint32_t size, uint32_t& received) = 0;
};

}  // namespace tolvane
