#pragma once
// FT232H bridges on an emulated USB bus, below libusb: each device has its
// sysfs entry (descriptors, bus and device numbers) and a device node whose
// usbdevfs requests (control and bulk URBs, claim, driver queries) are
// answered by an FtdiChip. The real libusb and libftdi1 run on top
// unchanged. The test process must run with umockdev's preload library.
#include <memory>
#include <string>
#include <vector>

#include "tests/hardware/ftdi_chip.h"

typedef struct _UMockdevTestbed UMockdevTestbed;

namespace tolvane::hw {

struct UsbDevice;

class EmulatedUsbBus {
 public:
  EmulatedUsbBus();
  ~EmulatedUsbBus();
  EmulatedUsbBus(const EmulatedUsbBus&) = delete;
  EmulatedUsbBus& operator=(const EmulatedUsbBus&) = delete;

  // False (with the reason) when the process does not run under the
  // preload library, so nothing below libusb is emulated.
  static bool available(std::string& why);

  // Plugs in one more bridge with an analyser behind it.
  FtdiChip& plug(const std::string& serial, uint64_t seed = 1);
  FtdiChip& chip(size_t i);
  size_t size() const { return devices_.size(); }

  // Takes the device off the bus: its node answers every request with
  // ENODEV and pending transfers end as the kernel ends them on unplug.
  void unplug(size_t i);
  // A kernel driver holds the interface and refuses to let go.
  void holdByKernelDriver(size_t i);
  // The device node as a process sees it ("/dev/bus/usb/001/002") and the
  // file behind it in the emulated tree.
  std::string devNode(size_t i) const;
  std::string nodeFile(size_t i) const;
  std::string rootDir() const;

 private:
  UMockdevTestbed* testbed_;
  std::vector<std::unique_ptr<UsbDevice>> devices_;
};

}  // namespace tolvane::hw
