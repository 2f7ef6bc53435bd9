#pragma once
// An FT232H USB-serial bridge with a simulated analyser behind its FIFO, as
// the host sees it over USB: vendor control requests on endpoint 0, bytes
// to the analyser on the bulk OUT endpoint, and bulk IN packets of at most
// 512 bytes that each start with the chip's two modem-status bytes. A full
// packet leaves as soon as the chip holds 510 bytes; anything less (even
// nothing) leaves as a short packet once the latency timer has run out
// since the last packet. Shared by the emulated USB bus and the stand-in
// D2XX library; every call may come from another thread.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "device/clock.h"
#include "device/sim/simulated_analyser.h"

namespace tolvane::hw {

inline constexpr uint16_t kFtdiVendor = 0x0403;
inline constexpr uint16_t kFt232hProduct = 0x6014;
inline constexpr int kPacketSize = 512;
inline constexpr int kStatusBytes = 2;
inline constexpr uint8_t kModemStatus0 = 0x32;  // CTS and DSR high, as an idle chip reports
inline constexpr uint8_t kModemStatus1 = 0x60;  // transmitter empty

// FTDI vendor requests (bmRequestType 0x40).
inline constexpr uint8_t kSioReset = 0;
inline constexpr uint8_t kSioSetLatency = 9;

struct ControlRequest {
  uint8_t requestType = 0;
  uint8_t request = 0;
  uint16_t value = 0;
  uint16_t index = 0;
  uint16_t length = 0;
};

// What can go wrong at the bridge itself (the analyser's own faults come
// from SimulatedAnalyser).
enum class ChipFault {
  None,
  Silent,  // the bridge stops answering: IN transfers never complete
  Stall,   // the IN endpoint halts until the host clears it
};

class FtdiChip {
 public:
  FtdiChip(std::string serial, uint64_t seed);

  const std::string& serial() const { return serial_; }

  // Endpoint 0: vendor requests are logged and acknowledged; standard
  // requests are answered by the caller from the descriptors.
  void vendorRequest(const ControlRequest& request);
  std::vector<ControlRequest> vendorLog() const;

  void bulkOut(const uint8_t* data, size_t size);

  enum class InResult { Pending, Complete, Stalled, Gone };
  // Fills an IN transfer of `capacity` bytes at wall-clock `nowMicros`.
  // Complete: `received` holds the packets (status bytes included).
  InResult bulkIn(size_t capacity, int64_t nowMicros, std::vector<uint8_t>& received);
  void abortIn();     // the host gave up on its IN transfer
  void clearStall();  // CLEAR_FEATURE(ENDPOINT_HALT)

  // The bridge was unplugged (the analyser's Disconnect fault or a test).
  bool unplugged() const;
  void unplug();

  // When a frame starting with `prefix` has gone out, the bridge fails.
  void failAfterFrame(ChipFault fault, const std::string& prefix);

  // Tests step the analyser's time; the link's waits run on the wall clock.
  void advanceAnalyserMillis(int64_t millis);
  // Runs `f` on the analyser with the bridge locked.
  template <typename F>
  auto withAnalyser(F f) {
    std::lock_guard lock(mutex_);
    return f(analyser_);
  }

  int latencyMillis() const;
  // Scales the latency timer's wait (1 = as the chip would); long runs use
  // a shorter wait to keep the tests quick.
  void setLatencyScale(double scale);

 private:
  mutable std::mutex mutex_;
  std::string serial_;
  ManualClock analyserClock_;
  SimulatedAnalyser analyser_;
  std::vector<ControlRequest> vendorLog_;
  int latencyMs_ = 16;  // the chip's power-on value
  double latencyScale_ = 1.0;
  int64_t lastPacketAt_ = 0;
  std::vector<uint8_t> inProgress_;  // packets of the IN transfer being filled
  ChipFault armedFault_ = ChipFault::None;
  std::string armedPrefix_;
  ChipFault fault_ = ChipFault::None;
  bool unplugged_ = false;
};

}  // namespace tolvane::hw
