#include "tests/hardware/emulated_usb_bus.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <stdexcept>

namespace tolvane::hw {

namespace {

constexpr uint8_t kEndpointIn = 0x81;
constexpr uint8_t kEndpointOut = 0x02;

const char* kManufacturer = "FTDI";
const char* kProduct = "USB MCA";

int64_t wallMicros() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// The 18-byte device descriptor followed by the whole configuration: one
// interface with a bulk IN and a bulk OUT endpoint of 512 bytes.
std::vector<uint8_t> descriptors() {
  return {// device
          18, 1, 0x00, 0x02, 0, 0, 0, 64, kFtdiVendor & 0xFF, kFtdiVendor >> 8, kFt232hProduct & 0xFF,
          kFt232hProduct >> 8, 0x00, 0x09, 1, 2, 3, 1,
          // configuration, 32 bytes in all
          9, 2, 32, 0, 1, 1, 0, 0x80, 45,
          // interface 0, vendor class
          9, 4, 0, 0, 2, 0xFF, 0xFF, 0xFF, 2,
          // endpoints
          7, 5, kEndpointIn, 2, 0x00, 0x02, 0, 7, 5, kEndpointOut, 2, 0x00, 0x02, 0};
}

std::vector<uint8_t> stringDescriptor(const std::string& text) {
  std::vector<uint8_t> d{static_cast<uint8_t>(2 + 2 * text.size()), 3};
  for (char c : text) {
    d.push_back(static_cast<uint8_t>(c));
    d.push_back(0);
  }
  return d;
}

struct Urb {
  UMockdevIoctlClient* client;
  UMockdevIoctlData* urb;     // our reference
  UMockdevIoctlData* buffer;  // our reference, may be null
  bool done = false;          // status and data already written
  bool discarded = false;
};

usbdevfs_urb& urbOf(UMockdevIoctlData* data) { return *reinterpret_cast<usbdevfs_urb*>(data->data); }

void setUrbResult(Urb& u, int status, int actualLength) {
  umockdev_ioctl_data_update(u.urb, offsetof(usbdevfs_urb, status), reinterpret_cast<guint8*>(&status), sizeof status);
  umockdev_ioctl_data_update(u.urb, offsetof(usbdevfs_urb, actual_length), reinterpret_cast<guint8*>(&actualLength),
                             sizeof actualLength);
  u.done = true;
}

}  // namespace

struct UsbDevice {
  std::unique_ptr<FtdiChip> chip;
  UMockdevIoctlBase* handler = nullptr;
  std::string sysPath;
  std::string devNode;
  std::mutex mutex;  // guards the fields below (requests come on umockdev's thread)
  std::deque<Urb> urbs;
  bool gone = false;
  bool heldByDriver = false;

  static gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    static_cast<UsbDevice*>(self)->handle(client);
    return TRUE;
  }

  void handle(UMockdevIoctlClient* client) {
    std::lock_guard lock(mutex);
    if (chip->unplugged()) gone = true;
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    if (request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY) return reap(client, arg);
    if (gone) return umockdev_ioctl_client_complete(client, -1, ENODEV);
    switch (request) {
      case USBDEVFS_GET_CAPABILITIES: {
        uint32_t caps =
            USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
        UMockdevIoctlData* d = umockdev_ioctl_data_resolve(arg, 0, sizeof caps, nullptr);
        umockdev_ioctl_data_update(d, 0, reinterpret_cast<guint8*>(&caps), sizeof caps);
        umockdev_ioctl_data_unref(d);
        return umockdev_ioctl_client_complete(client, 0, 0);
      }
      case USBDEVFS_GETDRIVER: {
        if (!heldByDriver) return umockdev_ioctl_client_complete(client, -1, ENODATA);
        usbdevfs_getdriver driver{};
        std::strcpy(driver.driver, "ftdi_sio");
        UMockdevIoctlData* d = umockdev_ioctl_data_resolve(arg, 0, sizeof driver, nullptr);
        umockdev_ioctl_data_update(d, 0, reinterpret_cast<guint8*>(&driver), sizeof driver);
        umockdev_ioctl_data_unref(d);
        return umockdev_ioctl_client_complete(client, 0, 0);
      }
      case USBDEVFS_IOCTL:  // the kernel driver's disconnect
        return umockdev_ioctl_client_complete(client, -1, heldByDriver ? EBUSY : ENODATA);
      case USBDEVFS_CLAIMINTERFACE:
        return umockdev_ioctl_client_complete(client, heldByDriver ? -1 : 0, heldByDriver ? EBUSY : 0);
      case USBDEVFS_CLEAR_HALT:
        chip->clearStall();
        return umockdev_ioctl_client_complete(client, 0, 0);
      case USBDEVFS_RELEASEINTERFACE:
      case USBDEVFS_SETCONFIGURATION:
      case USBDEVFS_SETINTERFACE:
      case USBDEVFS_RESET:
      case USBDEVFS_RESETEP:
        return umockdev_ioctl_client_complete(client, 0, 0);
      case USBDEVFS_SUBMITURB:
        return submit(client, arg);
      case USBDEVFS_DISCARDURB: {
        const gulong address = *reinterpret_cast<gulong*>(arg->data);
        for (Urb& u : urbs)
          if (u.client == client && u.urb->client_addr == address && !u.done) {
            u.discarded = true;
            chip->abortIn();
            return umockdev_ioctl_client_complete(client, 0, 0);
          }
        return umockdev_ioctl_client_complete(client, -1, EINVAL);
      }
      default:
        return umockdev_ioctl_client_complete(client, -1, ENOTTY);
    }
  }

  void submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    Urb u{client, umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr), nullptr};
    const usbdevfs_urb& urb = urbOf(u.urb);
    if (urb.buffer_length > 0)
      u.buffer = umockdev_ioctl_data_resolve(u.urb, offsetof(usbdevfs_urb, buffer), urb.buffer_length, nullptr);
    if (urb.type == USBDEVFS_URB_TYPE_CONTROL) {
      control(u);
    } else if (urb.type == USBDEVFS_URB_TYPE_BULK && urb.endpoint == kEndpointOut) {
      chip->bulkOut(u.buffer ? u.buffer->data : nullptr, static_cast<size_t>(urb.buffer_length));
      setUrbResult(u, 0, urb.buffer_length);
    } else if (urb.type != USBDEVFS_URB_TYPE_BULK || urb.endpoint != kEndpointIn) {
      setUrbResult(u, -EPIPE, 0);
    }
    urbs.push_back(u);
    umockdev_ioctl_client_complete(client, 0, 0);
  }

  // Endpoint 0: the string descriptors (the rest of the descriptors come
  // from sysfs) and the bridge's vendor requests.
  void control(Urb& u) {
    const uint8_t* setup = u.buffer->data;
    ControlRequest r{setup[0], setup[1], static_cast<uint16_t>(setup[2] | setup[3] << 8),
                     static_cast<uint16_t>(setup[4] | setup[5] << 8), static_cast<uint16_t>(setup[6] | setup[7] << 8)};
    if ((r.requestType & 0x60) == 0x40) {
      chip->vendorRequest(r);
      return setUrbResult(u, 0, 0);
    }
    std::vector<uint8_t> reply;
    if (r.requestType == 0x80 && r.request == 0) reply = {0, 0};  // GET_STATUS: bus-powered, no wake-up
    if (r.requestType == 0x80 && r.request == 6) {
      const int type = r.value >> 8, index = r.value & 0xFF;
      const auto all = descriptors();
      if (type == 1) reply.assign(all.begin(), all.begin() + 18);
      if (type == 2) reply.assign(all.begin() + 18, all.end());
      if (type == 3 && index == 0) reply = {4, 3, 0x09, 0x04};
      if (type == 3 && index == 1) reply = stringDescriptor(kManufacturer);
      if (type == 3 && index == 2) reply = stringDescriptor(kProduct);
      if (type == 3 && index == 3) reply = stringDescriptor(chip->serial());
    }
    if (reply.empty()) return setUrbResult(u, -EPIPE, 0);
    const size_t n = std::min<size_t>({reply.size(), r.length, static_cast<size_t>(u.buffer->data_len - 8)});
    umockdev_ioctl_data_update(u.buffer, 8, reply.data(), static_cast<gint>(n));
    setUrbResult(u, 0, static_cast<int>(n));
  }

  // Hands back the first finished URB of this client, or EAGAIN.
  void reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    for (auto it = urbs.begin(); it != urbs.end(); ++it) {
      Urb& u = *it;
      if (u.client != client) continue;
      if (u.discarded) {
        setUrbResult(u, -ENOENT, 0);
      } else if (gone && !u.done) {
        setUrbResult(u, -ESHUTDOWN, 0);
      } else if (!u.done) {
        std::vector<uint8_t> packets;
        const auto result = chip->bulkIn(static_cast<size_t>(urbOf(u.urb).buffer_length), wallMicros(), packets);
        if (result == FtdiChip::InResult::Pending) continue;
        if (result == FtdiChip::InResult::Gone) {
          gone = true;
          setUrbResult(u, -ESHUTDOWN, 0);
        } else if (result == FtdiChip::InResult::Stalled) {
          setUrbResult(u, -EPIPE, 0);
        } else {
          umockdev_ioctl_data_update(u.buffer, 0, packets.data(), static_cast<gint>(packets.size()));
          setUrbResult(u, 0, static_cast<int>(packets.size()));
        }
      }
      UMockdevIoctlData* pointer = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
      umockdev_ioctl_data_set_ptr(pointer, 0, u.urb);
      umockdev_ioctl_data_unref(pointer);
      if (u.buffer) umockdev_ioctl_data_unref(u.buffer);
      umockdev_ioctl_data_unref(u.urb);
      urbs.erase(it);
      return umockdev_ioctl_client_complete(client, 0, 0);
    }
    umockdev_ioctl_client_complete(client, -1, gone ? ENODEV : EAGAIN);
  }
};

EmulatedUsbBus::EmulatedUsbBus() : testbed_(umockdev_testbed_new()) {}

EmulatedUsbBus::~EmulatedUsbBus() {
  for (auto& d : devices_) {
    umockdev_testbed_detach_ioctl(testbed_, d->devNode.c_str(), nullptr);
    g_object_unref(d->handler);
  }
  g_object_unref(testbed_);
}

bool EmulatedUsbBus::available(std::string& why) {
  // The answer is cached on the first call: ask only once a test bed exists.
  if (umockdev_in_mock_environment()) return true;
  why = "not running under umockdev's preload library";
  return false;
}

FtdiChip& EmulatedUsbBus::plug(const std::string& serial, uint64_t seed) {
  auto d = std::make_unique<UsbDevice>();
  d->chip = std::make_unique<FtdiChip>(serial, seed);
  const int number = static_cast<int>(devices_.size()) + 2;  // 1 is the root hub
  char node[64], name[16];
  std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03d", number);
  std::snprintf(name, sizeof name, "1-%d", number - 1);
  d->devNode = node;
  d->handler = umockdev_ioctl_base_new();
  g_signal_connect(d->handler, "handle-ioctl", G_CALLBACK(&UsbDevice::onIoctl), d.get());
  // The handler must be in place before the device (and its node) appear.
  GError* error = nullptr;
  if (!umockdev_testbed_attach_ioctl(testbed_, node, d->handler, &error)) {
    const std::string message = error ? error->message : "unknown error";
    g_clear_error(&error);
    throw std::runtime_error("cannot attach the USB handler: " + message);
  }
  // The text form is the one that also creates the device node.
  std::string hex;
  for (uint8_t byte : descriptors()) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%02x", byte);
    hex += pair;
  }
  d->sysPath = std::string("/sys/devices/") + name;
  const std::string record = std::string("P: /devices/") + name + "\nN: " + (node + 5) + "\nE: DEVNAME=" + node +
                             "\nE: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\nE: PRODUCT=403/6014/900" +
                             "\nA: busnum=1\\n\nA: devnum=" + std::to_string(number) +
                             "\\n\nA: speed=480\\n\nA: bConfigurationValue=1\\n\nA: idVendor=0403\\n" +
                             "\nA: idProduct=6014\\n\nA: serial=" + serial + "\\n\nH: descriptors=" + hex + "\n";
  if (!umockdev_testbed_add_from_string(testbed_, record.c_str(), &error)) {
    const std::string message = error ? error->message : "unknown error";
    g_clear_error(&error);
    throw std::runtime_error("cannot add the USB device: " + message);
  }
  devices_.push_back(std::move(d));
  return *devices_.back()->chip;
}

FtdiChip& EmulatedUsbBus::chip(size_t i) { return *devices_.at(i)->chip; }

void EmulatedUsbBus::unplug(size_t i) {
  UsbDevice& d = *devices_.at(i);
  d.chip->unplug();
  umockdev_testbed_uevent(testbed_, d.sysPath.c_str(), "remove");
  umockdev_testbed_remove_device(testbed_, d.sysPath.c_str());
}

void EmulatedUsbBus::holdByKernelDriver(size_t i) {
  UsbDevice& d = *devices_.at(i);
  std::lock_guard lock(d.mutex);
  d.heldByDriver = true;
}

std::string EmulatedUsbBus::devNode(size_t i) const { return devices_.at(i)->devNode; }

std::string EmulatedUsbBus::rootDir() const {
  gchar* root = umockdev_testbed_get_root_dir(testbed_);
  std::string s = root;
  g_free(root);
  return s;
}

std::string EmulatedUsbBus::nodeFile(size_t i) const { return rootDir() + devNode(i); }

}  // namespace tolvane::hw
