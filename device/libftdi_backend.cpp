#include "device/libftdi_backend.h"

#include <ftdi.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <list>
#include <vector>

#include "device/clock.h"

namespace tolvane {

namespace {

// One open analyser: its libftdi context and the bytes read but not yet
// taken by the caller.
struct Port {
  ftdi_context* context = nullptr;
  std::deque<uint8_t> received;
  uint32_t readTimeoutMs = 3000;
};

class LibftdiBackend final : public FtdiApi {
 public:
  explicit LibftdiBackend(Clock& clock) : clock_(clock) {}
  ~LibftdiBackend() override {
    for (Port& port : ports_) {
      ftdi_usb_close(port.context);
      ftdi_free(port.context);
    }
  }

  std::string backendName() const override { return "libftdi1"; }

  FtStatus listDevices(SerialList& serials, uint32_t& count) override {
    return withDevices(nullptr, [&](ftdi_context* ctx, ftdi_device_list* list) {
      uint32_t n = 0;
      for (ftdi_device_list* d = list; d; d = d->next, ++n) {
        if (n >= kMaxListedDevices) continue;
        serials[n].fill('\0');
        // libftdi1 takes the buffer size and always terminates the text.
        ftdi_usb_get_strings(ctx, d->dev, nullptr, 0, nullptr, 0, serials[n].data(),
                             static_cast<int>(serials[n].size()));
      }
      count = n;
      return FtOk;
    });
  }

  FtStatus openBySerial(const char* serial, FtHandle& handle) override {
    ftdi_context* context = ftdi_new();
    if (!context) return FtOtherError;
    const FtStatus status = withDevices(context, [&](ftdi_context* ctx, ftdi_device_list* list) {
      for (ftdi_device_list* d = list; d; d = d->next) {
        char text[kSerialBufferSize] = {};
        if (ftdi_usb_get_strings(ctx, d->dev, nullptr, 0, nullptr, 0, text, sizeof text) < 0) continue;
        if (std::strcmp(text, serial) != 0) continue;
        return ftdi_usb_open_dev(ctx, d->dev) == 0 ? FtOk : FtDeviceNotOpened;
      }
      return FtDeviceNotFound;
    });
    if (status != FtOk) {
      ftdi_free(context);
      return status;
    }
    ports_.push_back(Port{context, {}, 3000});
    handle = &ports_.back();
    return FtOk;
  }

  FtStatus resetDevice(FtHandle h) override {
    Port* port = portOf(h);
    if (!port) return FtInvalidHandle;
    port->received.clear();
    return ftdi_usb_reset(port->context) == 0 ? FtOk : FtIoError;
  }

  FtStatus setLatencyTimer(FtHandle h, uint8_t ms) override {
    Port* port = portOf(h);
    if (!port) return FtInvalidHandle;
    return ftdi_set_latency_timer(port->context, ms) == 0 ? FtOk : FtIoError;
  }

  FtStatus setTimeouts(FtHandle h, uint32_t readMs, uint32_t writeMs) override {
    Port* port = portOf(h);
    if (!port) return FtInvalidHandle;
    port->context->usb_read_timeout = static_cast<int>(readMs);
    port->context->usb_write_timeout = static_cast<int>(writeMs);
    port->readTimeoutMs = readMs;
    return FtOk;
  }

  FtStatus purge(FtHandle h, uint32_t mask) override {
    Port* port = portOf(h);
    if (!port) return FtInvalidHandle;
    if (mask & FtPurgeRx) port->received.clear();
    int result = 0;
    if ((mask & FtPurgeRx) && (mask & FtPurgeTx))
      result = ftdi_tcioflush(port->context);
    else if (mask & FtPurgeRx)
      result = ftdi_tciflush(port->context);
    else if (mask & FtPurgeTx)
      result = ftdi_tcoflush(port->context);
    return result == 0 ? FtOk : FtIoError;
  }

  FtStatus write(FtHandle h, const void* data, uint32_t size, uint32_t& written) override {
    written = 0;
    Port* port = portOf(h);
    if (!port) return FtInvalidHandle;
    const int n = ftdi_write_data(port->context, static_cast<const unsigned char*>(data), static_cast<int>(size));
    if (n < 0) return FtIoError;
    written = static_cast<uint32_t>(n);
    return FtOk;
  }

  FtStatus getQueueStatus(FtHandle h, uint32_t& waiting) override {
    waiting = 0;
    Port* port = portOf(h);
    if (!port) return FtInvalidHandle;
    if (!fill(*port)) return FtIoError;
    waiting = static_cast<uint32_t>(port->received.size());
    return FtOk;
  }

  FtStatus read(FtHandle h, void* data, uint32_t size, uint32_t& received) override {
    received = 0;
    Port* port = portOf(h);
    if (!port) return FtInvalidHandle;
    const int64_t deadline = clock_.nowMicros() + int64_t{port->readTimeoutMs} * 1000;
    while (port->received.size() < size && clock_.nowMicros() < deadline)
      if (!fill(*port)) return FtIoError;
    const uint32_t n = std::min<uint32_t>(size, static_cast<uint32_t>(port->received.size()));
    std::copy_n(port->received.begin(), n, static_cast<uint8_t*>(data));
    port->received.erase(port->received.begin(), port->received.begin() + n);
    received = n;
    return FtOk;
  }

 private:
  // One short read from the bridge into the port's buffer. The bridge
  // answers within its latency time even when it has nothing to send.
  bool fill(Port& port) {
    unsigned char chunk[4096];
    const int n = ftdi_read_data(port.context, chunk, sizeof chunk);
    if (n < 0) return false;
    port.received.insert(port.received.end(), chunk, chunk + n);
    return true;
  }

  // Runs `body` over the attached FTDI devices (the library's default
  // vendor and product ids), with `context` or a temporary one.
  template <typename Body>
  FtStatus withDevices(ftdi_context* context, Body body) {
    ftdi_context* ctx = context ? context : ftdi_new();
    if (!ctx) return FtOtherError;
    ftdi_device_list* list = nullptr;
    FtStatus status = FtIoError;
    if (ftdi_usb_find_all(ctx, &list, 0, 0) >= 0) status = body(ctx, list);
    if (list) ftdi_list_free(&list);
    if (!context) ftdi_free(ctx);
    return status;
  }

  Port* portOf(FtHandle h) {
    for (Port& port : ports_)
      if (&port == h) return &port;
    return nullptr;
  }

  Clock& clock_;
  std::list<Port> ports_;  // stable addresses: a handle is a Port's address
};

}  // namespace

std::unique_ptr<FtdiApi> makeLibftdiBackend(Clock& clock, std::string& /*error*/) {
  return std::make_unique<LibftdiBackend>(clock);
}

}  // namespace tolvane
