// A stand-in for the vendor's D2XX library, built as libftd2xx.so for the
// tests: it exports the functions the d2xx backend loads (with the
// signatures of the library's documentation) and plays the part of the
// vendor's driver over emulated FT232H bridges: it writes to the bulk OUT
// endpoint, collects IN packets and strips their two modem-status bytes,
// and waits on reads up to the time-out set. The tests steer it through the
// standin_* functions. Built once without FT_Purge, to check that an
// incomplete library is refused.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/hardware/ftdi_chip.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

using DWORD = uint32_t;
using FT_STATUS = uint32_t;
using FT_HANDLE = void*;

namespace {

using tolvane::hw::FtdiChip;

constexpr FT_STATUS kOk = 0, kInvalidHandle = 1, kDeviceNotFound = 2, kDeviceNotOpened = 3, kIoError = 4,
                    kInvalidParameter = 6;
constexpr DWORD kListNumberOnly = 0x80000000, kListAll = 0x20000000, kOpenBySerial = 1;

struct Device {
  std::unique_ptr<FtdiChip> chip;
  bool open = false;
  DWORD readTimeoutMs = 300;  // the driver's default before FT_SetTimeouts
  std::deque<uint8_t> received;
  std::vector<std::string> calls;  // what the open sequence did, in order
};

std::mutex mutex;
std::vector<std::unique_ptr<Device>> devices;
int callCount = 0;

int64_t wallMicros() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

Device* deviceOf(FT_HANDLE h) {
  ++callCount;
  for (auto& d : devices)
    if (d.get() == h && d->open) return d.get();
  return nullptr;
}

// What the driver does in the background: takes the IN packets the bridge
// has sent and keeps their payload.
FT_STATUS collect(Device& d) {
  std::vector<uint8_t> packets;
  switch (d.chip->bulkIn(4096, wallMicros(), packets)) {
    case FtdiChip::InResult::Pending:
      return kOk;
    case FtdiChip::InResult::Gone:
      return kIoError;
    case FtdiChip::InResult::Stalled:
      d.chip->clearStall();
      return kIoError;
    case FtdiChip::InResult::Complete:
      break;
  }
  for (size_t at = 0; at < packets.size(); at += tolvane::hw::kPacketSize) {
    const size_t end = std::min(packets.size(), at + tolvane::hw::kPacketSize);
    if (end > at + tolvane::hw::kStatusBytes)
      d.received.insert(d.received.end(), packets.begin() + static_cast<long>(at + tolvane::hw::kStatusBytes),
                        packets.begin() + static_cast<long>(end));
  }
  return kOk;
}

void copySerial(char* dest, size_t size, const std::string& serial) {
  std::memset(dest, 0, size);
  std::memcpy(dest, serial.data(), std::min(serial.size(), size - 1));
}

}  // namespace

EXPORT FT_STATUS FT_ListDevices(void* arg1, void* arg2, DWORD flags) {
  std::lock_guard lock(mutex);
  ++callCount;
  DWORD present = 0;
  for (auto& d : devices) present += d->chip->unplugged() ? 0 : 1;
  if (flags & kListNumberOnly) {
    *static_cast<DWORD*>(arg1) = present;
    return kOk;
  }
  if ((flags & kListAll) && (flags & kOpenBySerial)) {
    char** table = static_cast<char**>(arg1);
    DWORD n = 0;
    for (auto& d : devices)
      if (!d->chip->unplugged()) copySerial(table[n++], 64, d->chip->serial());
    *static_cast<DWORD*>(arg2) = n;
    return kOk;
  }
  return kInvalidParameter;
}

EXPORT FT_STATUS FT_OpenEx(void* serial, DWORD flags, FT_HANDLE* handle) {
  std::lock_guard lock(mutex);
  ++callCount;
  if (flags != kOpenBySerial) return kInvalidParameter;
  for (auto& d : devices) {
    if (d->chip->unplugged() || d->chip->serial() != static_cast<const char*>(serial)) continue;
    if (d->open) return kDeviceNotOpened;
    d->open = true;
    d->calls.push_back("FT_OpenEx");
    *handle = d.get();
    return kOk;
  }
  return kDeviceNotFound;
}

EXPORT FT_STATUS FT_Close(FT_HANDLE h) {
  std::lock_guard lock(mutex);
  Device* d = deviceOf(h);
  if (!d) return kInvalidHandle;
  d->open = false;
  d->received.clear();
  return kOk;
}

EXPORT FT_STATUS FT_ResetDevice(FT_HANDLE h) {
  std::lock_guard lock(mutex);
  Device* d = deviceOf(h);
  if (!d) return kInvalidHandle;
  if (d->chip->unplugged()) return kIoError;
  d->calls.push_back("FT_ResetDevice");
  d->chip->vendorRequest({0x40, tolvane::hw::kSioReset, 0, 1, 0});
  return kOk;
}

EXPORT FT_STATUS FT_SetLatencyTimer(FT_HANDLE h, unsigned char ms) {
  std::lock_guard lock(mutex);
  Device* d = deviceOf(h);
  if (!d) return kInvalidHandle;
  if (d->chip->unplugged()) return kIoError;
  d->calls.push_back("FT_SetLatencyTimer " + std::to_string(ms));
  d->chip->vendorRequest({0x40, tolvane::hw::kSioSetLatency, ms, 1, 0});
  return kOk;
}

EXPORT FT_STATUS FT_SetTimeouts(FT_HANDLE h, DWORD readMs, DWORD writeMs) {
  std::lock_guard lock(mutex);
  Device* d = deviceOf(h);
  if (!d) return kInvalidHandle;
  d->calls.push_back("FT_SetTimeouts " + std::to_string(readMs) + " " + std::to_string(writeMs));
  d->readTimeoutMs = readMs;
  return kOk;
}

#ifndef STANDIN_WITHOUT_PURGE
EXPORT FT_STATUS FT_Purge(FT_HANDLE h, DWORD mask) {
  std::lock_guard lock(mutex);
  Device* d = deviceOf(h);
  if (!d) return kInvalidHandle;
  if (d->chip->unplugged()) return kIoError;
  d->calls.push_back("FT_Purge " + std::to_string(mask));
  if (mask & 1) {  // FT_PURGE_RX: what waits for the host
    d->received.clear();
    d->chip->vendorRequest({0x40, tolvane::hw::kSioReset, 2, 1, 0});
  }
  if (mask & 2) d->chip->vendorRequest({0x40, tolvane::hw::kSioReset, 1, 1, 0});
  return kOk;
}
#endif

EXPORT FT_STATUS FT_Write(FT_HANDLE h, void* data, DWORD size, DWORD* written) {
  std::lock_guard lock(mutex);
  Device* d = deviceOf(h);
  if (!d) return kInvalidHandle;
  *written = 0;
  if (d->chip->unplugged()) return kIoError;
  d->chip->bulkOut(static_cast<const uint8_t*>(data), size);
  *written = size;
  return kOk;
}

EXPORT FT_STATUS FT_GetQueueStatus(FT_HANDLE h, DWORD* waiting) {
  std::lock_guard lock(mutex);
  Device* d = deviceOf(h);
  if (!d) return kInvalidHandle;
  *waiting = 0;
  if (const FT_STATUS s = collect(*d); s != kOk) return s;
  *waiting = static_cast<DWORD>(d->received.size());
  return kOk;
}

EXPORT FT_STATUS FT_Read(FT_HANDLE h, void* data, DWORD size, DWORD* got) {
  const int64_t start = wallMicros();
  *got = 0;
  for (;;) {
    {
      std::lock_guard lock(mutex);
      Device* d = deviceOf(h);
      if (!d) return kInvalidHandle;
      if (const FT_STATUS s = collect(*d); s != kOk) return s;
      if (d->received.size() >= size || wallMicros() - start >= int64_t{d->readTimeoutMs} * 1000) {
        const DWORD n = std::min<DWORD>(size, static_cast<DWORD>(d->received.size()));
        std::copy_n(d->received.begin(), n, static_cast<uint8_t*>(data));
        d->received.erase(d->received.begin(), d->received.begin() + n);
        *got = n;
        return kOk;
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

EXPORT FT_STATUS FT_CreateDeviceInfoList(DWORD* count) {
  std::lock_guard lock(mutex);
  ++callCount;
  *count = 0;
  for (auto& d : devices) *count += d->chip->unplugged() ? 0 : 1;
  return kOk;
}

EXPORT FT_STATUS FT_GetDeviceInfoDetail(DWORD index, DWORD* flags, DWORD* type, DWORD* id, DWORD* location,
                                        char* serial, char* description, FT_HANDLE* handle) {
  std::lock_guard lock(mutex);
  ++callCount;
  DWORD n = 0;
  for (auto& d : devices) {
    if (d->chip->unplugged() || n++ != index) continue;
    *flags = d->open ? 1 : 0;
    *type = 8;  // FT232H
    *id = DWORD{tolvane::hw::kFtdiVendor} << 16 | tolvane::hw::kFt232hProduct;
    *location = 0x11 + index;
    copySerial(serial, 16, d->chip->serial());
    copySerial(description, 64, "USB MCA");
    *handle = d->open ? d.get() : nullptr;
    return kOk;
  }
  return kDeviceNotFound;
}

// ---- steering for the tests

EXPORT void standin_clear() {
  std::lock_guard lock(mutex);
  devices.clear();
  callCount = 0;
}

EXPORT FtdiChip* standin_plug(const char* serial, uint64_t seed) {
  std::lock_guard lock(mutex);
  auto d = std::make_unique<Device>();
  d->chip = std::make_unique<FtdiChip>(serial, seed);
  devices.push_back(std::move(d));
  return devices.back()->chip.get();
}

EXPORT int standin_calls() {
  std::lock_guard lock(mutex);
  return callCount;
}

EXPORT size_t standin_call_log(size_t i, char* text, size_t size) {
  std::lock_guard lock(mutex);
  std::string joined;
  for (const std::string& c : devices.at(i)->calls) joined += c + "\n";
  copySerial(text, size, joined);
  return joined.size();
}
