#include "device/d2xx_backend.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace tolvane {

namespace {

// Declarations from the library's public documentation. On 64-bit Linux
// its DWORD and ULONG are 32 bits wide, handles are pointers.
using D2Status = uint32_t;
using D2Dword = uint32_t;
using D2Handle = void*;

constexpr D2Dword kListNumberOnly = 0x80000000;
constexpr D2Dword kListAll = 0x20000000;
constexpr D2Dword kOpenBySerialNumber = 1;

struct D2xxFunctions {
  D2Status (*ListDevices)(void*, void*, D2Dword) = nullptr;
  D2Status (*OpenEx)(void*, D2Dword, D2Handle*) = nullptr;
  D2Status (*ResetDevice)(D2Handle) = nullptr;
  D2Status (*SetLatencyTimer)(D2Handle, unsigned char) = nullptr;
  D2Status (*SetTimeouts)(D2Handle, D2Dword, D2Dword) = nullptr;
  D2Status (*Purge)(D2Handle, D2Dword) = nullptr;
  D2Status (*Write)(D2Handle, void*, D2Dword, D2Dword*) = nullptr;
  D2Status (*GetQueueStatus)(D2Handle, D2Dword*) = nullptr;
  D2Status (*Read)(D2Handle, void*, D2Dword, D2Dword*) = nullptr;
  // Optional: used when present.
  D2Status (*Close)(D2Handle) = nullptr;
  D2Status (*CreateDeviceInfoList)(D2Dword*) = nullptr;
  D2Status (*GetDeviceInfoDetail)(D2Dword, D2Dword*, D2Dword*, D2Dword*, D2Dword*, char*, char*, D2Handle*) = nullptr;
};

class D2xxBackend final : public FtdiApi {
 public:
  D2xxBackend(void* library, const D2xxFunctions& f) : library_(library), f_(f) {}
  ~D2xxBackend() override { ::dlclose(library_); }

  std::string backendName() const override { return "D2XX"; }
  LinkDiagnosis lastProblem() const override { return problem_; }

  FtStatus describeDevices(std::vector<DeviceDescription>& devices) override {
    if (!f_.CreateDeviceInfoList || !f_.GetDeviceInfoDetail) return FtdiApi::describeDevices(devices);
    devices.clear();
    D2Dword count = 0;
    if (FtStatus s = f_.CreateDeviceInfoList(&count); s != FtOk) return s;
    for (D2Dword i = 0; i < count; ++i) {
      D2Dword flags = 0, type = 0, id = 0, location = 0;
      char serial[16] = {}, description[64] = {};
      D2Handle handle = nullptr;
      if (f_.GetDeviceInfoDetail(i, &flags, &type, &id, &location, serial, description, &handle) != FtOk) continue;
      serial[sizeof serial - 1] = description[sizeof description - 1] = '\0';
      DeviceDescription d;
      d.serial = serial;
      d.description = description;
      d.vid = static_cast<int>(id >> 16);
      d.pid = static_cast<int>(id & 0xFFFF);
      devices.push_back(d);
    }
    return FtOk;
  }
  void close(FtHandle h) override {
    if (f_.Close) f_.Close(h);
  }

  FtStatus listDevices(SerialList& serials, uint32_t& count) override {
    // The listing copies every attached device's serial number, so the
    // buffer table is sized to the devices present (with room for a few
    // plugged in meanwhile), never to a fixed five.
    D2Dword present = 0;
    if (FtStatus s = f_.ListDevices(&present, nullptr, kListNumberOnly); s != FtOk) return s;
    const size_t slots = std::max<size_t>(kMaxListedDevices, present + 8);
    std::vector<std::array<char, kSerialBufferSize>> buffers(slots);
    std::vector<char*> table;
    for (auto& b : buffers) table.push_back(b.data());
    table.push_back(nullptr);
    D2Dword listed = 0;
    if (FtStatus s = f_.ListDevices(table.data(), &listed, kListAll | kOpenBySerialNumber); s != FtOk) return s;
    count = std::min<uint32_t>(listed, static_cast<uint32_t>(slots));
    for (size_t i = 0; i < kMaxListedDevices; ++i) {
      serials[i] = buffers[i];
      serials[i].back() = '\0';
    }
    return FtOk;
  }
  FtStatus openBySerial(const char* serial, FtHandle& handle) override {
    // The library does not say why an open failed; on Linux it is nearly
    // always the device node's permissions or the kernel's serial driver.
    const FtStatus s = f_.OpenEx(const_cast<char*>(serial), kOpenBySerialNumber, &handle);
    problem_ = {s == FtOk ? LinkProblem::None : LinkProblem::LibraryRefused, {}};
    return s;
  }
  FtStatus resetDevice(FtHandle h) override { return f_.ResetDevice(h); }
  FtStatus setLatencyTimer(FtHandle h, uint8_t ms) override { return f_.SetLatencyTimer(h, ms); }
  FtStatus setTimeouts(FtHandle h, uint32_t r, uint32_t w) override { return f_.SetTimeouts(h, r, w); }
  FtStatus purge(FtHandle h, uint32_t mask) override { return f_.Purge(h, mask); }
  FtStatus write(FtHandle h, const void* data, uint32_t size, uint32_t& written) override {
    D2Dword n = 0;
    const FtStatus s = f_.Write(h, const_cast<void*>(data), size, &n);
    written = n;
    return s;
  }
  FtStatus getQueueStatus(FtHandle h, uint32_t& waiting) override {
    D2Dword n = 0;
    const FtStatus s = f_.GetQueueStatus(h, &n);
    waiting = n;
    return s;
  }
  FtStatus read(FtHandle h, void* data, uint32_t size, uint32_t& received) override {
    D2Dword n = 0;
    const FtStatus s = f_.Read(h, data, size, &n);
    received = std::min<uint32_t>(n, size);
    return s;
  }

 private:
  void* library_;
  D2xxFunctions f_;
  LinkDiagnosis problem_;
};

// Binds `name`; on failure remembers the first name that was missing.
template <typename F>
bool bind(void* library, const char* name, F& slot, std::string& missing) {
  slot = reinterpret_cast<F>(::dlsym(library, name));
  if (!slot && missing.empty()) missing = name;
  return slot != nullptr;
}

}  // namespace

std::unique_ptr<FtdiApi> loadD2xxBackend(std::string& error) {
  // A bare library name: the dynamic loader searches the system's library
  // paths only, never the current or a data folder.
  void* library = ::dlopen("libftd2xx.so", RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    error = "D2XX library not available";
    return nullptr;
  }
  D2xxFunctions f;
  std::string missing;
  bind(library, "FT_ListDevices", f.ListDevices, missing);
  bind(library, "FT_OpenEx", f.OpenEx, missing);
  bind(library, "FT_ResetDevice", f.ResetDevice, missing);
  bind(library, "FT_SetLatencyTimer", f.SetLatencyTimer, missing);
  bind(library, "FT_SetTimeouts", f.SetTimeouts, missing);
  bind(library, "FT_Purge", f.Purge, missing);
  bind(library, "FT_Write", f.Write, missing);
  bind(library, "FT_GetQueueStatus", f.GetQueueStatus, missing);
  bind(library, "FT_Read", f.Read, missing);
  if (!missing.empty()) {
    ::dlclose(library);
    error = "D2XX library libftd2xx.so lacks the function " + missing + "; it is not used";
    return nullptr;
  }
  std::string optional;
  bind(library, "FT_Close", f.Close, optional);
  bind(library, "FT_CreateDeviceInfoList", f.CreateDeviceInfoList, optional);
  bind(library, "FT_GetDeviceInfoDetail", f.GetDeviceInfoDetail, optional);
  return std::make_unique<D2xxBackend>(library, f);
}

}  // namespace tolvane
