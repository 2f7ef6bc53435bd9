#include "device/libftdi_backend.h"

#include <ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <cstdio>
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

std::string nodeOf(libusb_device* dev) {
  char text[32];
  std::snprintf(text, sizeof text, "/dev/bus/usb/%03u/%03u", libusb_get_bus_number(dev),
                libusb_get_device_address(dev));
  return text;
}

// libftdi reports a failed open as "libusb_open() failed" whatever the
// reason; libusb itself tells permission, absence and a busy device apart.
LinkDiagnosis diagnoseOpen(libusb_device* dev, int ftdiResult) {
  LinkDiagnosis d{LinkProblem::LibraryRefused, nodeOf(dev)};
  if (ftdiResult == -5) d.problem = LinkProblem::InterfaceBusy;     // claiming the interface failed
  if (ftdiResult == -8) d.problem = LinkProblem::PermissionDenied;  // detaching the driver was refused
  if (ftdiResult != -4) return d;
  libusb_device_handle* handle = nullptr;
  const int r = libusb_open(dev, &handle);
  if (r == 0) {
    libusb_close(handle);
    return d;
  }
  if (r == LIBUSB_ERROR_ACCESS) d.problem = LinkProblem::PermissionDenied;
  if (r == LIBUSB_ERROR_BUSY) d.problem = LinkProblem::InterfaceBusy;
  if (r == LIBUSB_ERROR_NO_DEVICE) d.problem = LinkProblem::Disconnected;
  return d;
}

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
  LinkDiagnosis lastProblem() const override { return problem_; }

  FtStatus listDevices(SerialList& serials, uint32_t& count) override {
    std::vector<DeviceDescription> devices;
    const FtStatus status = describeDevices(devices);
    if (status != FtOk) return status;
    count = static_cast<uint32_t>(devices.size());
    for (size_t i = 0; i < devices.size() && i < kMaxListedDevices; ++i) {
      serials[i].fill('\0');
      const std::string& s = devices[i].serial;
      std::memcpy(serials[i].data(), s.data(), std::min(s.size(), serials[i].size() - 1));
    }
    return FtOk;
  }

  FtStatus describeDevices(std::vector<DeviceDescription>& devices) override {
    devices.clear();
    return withDevices(nullptr, [&](ftdi_context* ctx, ftdi_device_list* list) {
      for (ftdi_device_list* d = list; d; d = d->next) {
        DeviceDescription out;
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(d->dev, &descriptor) == 0) {
          out.vid = descriptor.idVendor;
          out.pid = descriptor.idProduct;
        }
        char description[128] = {}, serial[kSerialBufferSize] = {};
        // libftdi1 takes the buffer sizes and always terminates the texts.
        const int r =
            ftdi_usb_get_strings(ctx, d->dev, nullptr, 0, description, sizeof description, serial, sizeof serial);
        if (r < 0) {
          out.unreadable = diagnoseOpen(d->dev, r);
          problem_ = out.unreadable;
        } else {
          out.serial = serial;
          out.description = description;
        }
        devices.push_back(out);
      }
      return FtOk;
    });
  }

  FtStatus openBySerial(const char* serial, FtHandle& handle) override {
    ftdi_context* context = ftdi_new();
    if (!context) return FtOtherError;
    LinkDiagnosis unreadable;  // a device whose serial could not be read may be the one
    const FtStatus status = withDevices(context, [&](ftdi_context* ctx, ftdi_device_list* list) {
      for (ftdi_device_list* d = list; d; d = d->next) {
        char text[kSerialBufferSize] = {};
        if (const int r = ftdi_usb_get_strings(ctx, d->dev, nullptr, 0, nullptr, 0, text, sizeof text); r < 0) {
          unreadable = diagnoseOpen(d->dev, r);
          continue;
        }
        if (std::strcmp(text, serial) != 0) continue;
        if (const int r = ftdi_usb_open_dev(ctx, d->dev); r != 0) {
          problem_ = diagnoseOpen(d->dev, r);
          return FtDeviceNotOpened;
        }
        return FtOk;
      }
      if (unreadable.problem != LinkProblem::None) {
        problem_ = unreadable;
        return FtDeviceNotOpened;
      }
      return FtDeviceNotFound;
    });
    if (status != FtOk) {
      ftdi_free(context);
      return status;
    }
    problem_ = {};
    ports_.push_back(Port{context, {}, 3000});
    handle = &ports_.back();
    return FtOk;
  }

  void close(FtHandle h) override {
    for (auto it = ports_.begin(); it != ports_.end(); ++it)
      if (&*it == h) {
        ftdi_usb_close(it->context);
        ftdi_free(it->context);
        ports_.erase(it);
        return;
      }
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
    if (n < 0) return failed(*port, n);
    written = static_cast<uint32_t>(n);
    return FtOk;
  }

  FtStatus getQueueStatus(FtHandle h, uint32_t& waiting) override {
    waiting = 0;
    Port* port = portOf(h);
    if (!port) return FtInvalidHandle;
    if (const FtStatus s = fill(*port); s != FtOk) return s;
    waiting = static_cast<uint32_t>(port->received.size());
    return FtOk;
  }

  FtStatus read(FtHandle h, void* data, uint32_t size, uint32_t& received) override {
    received = 0;
    Port* port = portOf(h);
    if (!port) return FtInvalidHandle;
    // A short packet ends a bulk read: keep reading until the bytes asked
    // for have come or the read time-out has passed.
    const int64_t deadline = clock_.nowMicros() + int64_t{port->readTimeoutMs} * 1000;
    while (port->received.size() < size && clock_.nowMicros() < deadline)
      if (const FtStatus s = fill(*port); s != FtOk) return s;
    const uint32_t n = std::min<uint32_t>(size, static_cast<uint32_t>(port->received.size()));
    std::copy_n(port->received.begin(), n, static_cast<uint8_t*>(data));
    port->received.erase(port->received.begin(), port->received.begin() + n);
    received = n;
    return FtOk;
  }

 private:
  // One bulk read from the bridge into the port's buffer; libftdi1 strips
  // the two modem-status bytes from each packet. The bridge answers within
  // its latency time even when it has nothing to send.
  FtStatus fill(Port& port) {
    unsigned char chunk[4096];
    const int n = ftdi_read_data(port.context, chunk, sizeof chunk);
    if (n < 0) return failed(port, n);
    port.received.insert(port.received.end(), chunk, chunk + n);
    return FtOk;
  }

  // Records why a transfer failed. libftdi1 does not always pass libusb's
  // reason on, so a short request to the device tells whether it is still
  // there; if it is, a halted endpoint is cleared so that the next exchange
  // can work.
  FtStatus failed(Port& port, int /*code*/) {
    libusb_device_handle* usb = port.context->usb_dev;
    problem_ = {LinkProblem::LibraryRefused, usb ? nodeOf(libusb_get_device(usb)) : std::string()};
    if (!usb) return FtIoError;
    unsigned char status[2];
    constexpr int kProbeTimeoutMs = 200;
    if (libusb_control_transfer(usb, LIBUSB_ENDPOINT_IN, LIBUSB_REQUEST_GET_STATUS, 0, 0, status, sizeof status,
                                kProbeTimeoutMs) == LIBUSB_ERROR_NO_DEVICE) {
      problem_.problem = LinkProblem::Disconnected;
      return FtIoError;
    }
    libusb_clear_halt(usb, static_cast<unsigned char>(port.context->out_ep));
    libusb_clear_halt(usb, static_cast<unsigned char>(port.context->in_ep));
    return FtIoError;
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
  LinkDiagnosis problem_;
};

}  // namespace

std::unique_ptr<FtdiApi> makeLibftdiBackend(Clock& clock, std::string& /*error*/) {
  return std::make_unique<LibftdiBackend>(clock);
}

}  // namespace tolvane
