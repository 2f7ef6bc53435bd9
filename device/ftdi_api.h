#pragma once
// The operations the program uses on the USB-serial bridge, shaped like the
// FTDI D2XX calls: every call returns a status code, 0 (FtOk) on success.
// Backends: the built-in simulated analyser, libftdi1, and the vendor D2XX
// library loaded at run time.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

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

// Why the last listing, open or transfer failed, as far as the backend can
// tell; `node` names the device file when one is known.
enum class LinkProblem {
  None,
  PermissionDenied,  // the device node cannot be opened by this user
  InterfaceBusy,     // a kernel driver or another program holds the device
  Disconnected,      // the device has left the bus
  LibraryRefused,    // the library reported a failure it did not explain
};

struct LinkDiagnosis {
  LinkProblem problem = LinkProblem::None;
  std::string node;
};

// One attached device as its descriptors describe it; vid and pid are -1
// where the backend cannot tell (the simulator).
struct DeviceDescription {
  std::string serial;
  std::string description;
  int vid = -1;
  int pid = -1;
  // Set when the device's strings could not be read (then serial is empty).
  LinkDiagnosis unreadable;
};

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

  // Every attached device with what its descriptors say. The default asks
  // listDevices and knows only the first kMaxListedDevices serials.
  virtual FtStatus describeDevices(std::vector<DeviceDescription>& devices);
  // Gives a handle back; the program itself never closes its analyser, but
  // a probe that opens one to see whether it can be opened does.
  virtual void close(FtHandle) {}
  // The cause of the most recent failure, when the backend knows it.
  virtual LinkDiagnosis lastProblem() const { return {}; }
};

}  // namespace tolvane
