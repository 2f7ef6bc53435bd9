#include "tests/hardware/ftdi_chip.h"

#include <algorithm>

namespace tolvane::hw {

namespace {

SimulatedAnalyserConfig analyserConfig(const std::string& serial, uint64_t seed) {
  SimulatedAnalyserConfig config;
  config.serial = serial;
  config.seed = seed;
  return config;
}

// libftdi's purge values: 1 empties what the host wrote and the chip has
// not yet passed on, 2 what the chip holds for the host; 0 resets both.
constexpr uint16_t kPurgeToAnalyser = 1;
constexpr uint16_t kPurgeToHost = 2;

}  // namespace

FtdiChip::FtdiChip(std::string serial, uint64_t seed)
    : serial_(std::move(serial)), analyser_(analyserClock_, analyserConfig(serial_, seed)) {}

void FtdiChip::vendorRequest(const ControlRequest& request) {
  std::lock_guard lock(mutex_);
  vendorLog_.push_back(request);
  if (request.request == kSioSetLatency) latencyMs_ = request.value & 0xFF;
  if (request.request == kSioReset) {
    if (request.value == 0 || request.value == kPurgeToAnalyser) analyser_.purgeInput();
    if (request.value == 0 || request.value == kPurgeToHost) {
      analyser_.purgeOutput();
      inProgress_.clear();
    }
  }
}

std::vector<ControlRequest> FtdiChip::vendorLog() const {
  std::lock_guard lock(mutex_);
  return vendorLog_;
}

void FtdiChip::bulkOut(const uint8_t* data, size_t size) {
  std::lock_guard lock(mutex_);
  analyser_.receive(data, size);
  if (armedFault_ != ChipFault::None && !analyser_.frameLog().empty() &&
      analyser_.frameLog().back().rfind(armedPrefix_, 0) == 0) {
    fault_ = armedFault_;
    armedFault_ = ChipFault::None;
  }
}

FtdiChip::InResult FtdiChip::bulkIn(size_t capacity, int64_t nowMicros, std::vector<uint8_t>& received) {
  std::lock_guard lock(mutex_);
  if (unplugged_ || !analyser_.connected()) return InResult::Gone;
  if (fault_ == ChipFault::Stall) return InResult::Stalled;
  if (fault_ == ChipFault::Silent) return InResult::Pending;

  const auto packet = [&](uint32_t payload) {
    inProgress_.push_back(kModemStatus0);
    inProgress_.push_back(kModemStatus1);
    const size_t at = inProgress_.size();
    inProgress_.resize(at + payload);
    analyser_.take(inProgress_.data() + at, payload);
    lastPacketAt_ = nowMicros;
  };
  constexpr uint32_t kPayload = kPacketSize - kStatusBytes;
  while (capacity - inProgress_.size() >= kPacketSize && analyser_.waiting() >= kPayload) packet(kPayload);
  bool complete = inProgress_.size() + kPacketSize > capacity;  // no room for another packet
  if (!complete && nowMicros - lastPacketAt_ >= static_cast<int64_t>(latencyMs_ * 1000 * latencyScale_)) {
    const size_t room = capacity - inProgress_.size();
    if (room >= kStatusBytes)
      packet(std::min<uint32_t>(analyser_.waiting(), static_cast<uint32_t>(room - kStatusBytes)));
    complete = true;
  }
  if (!complete) return InResult::Pending;
  received.swap(inProgress_);
  inProgress_.clear();
  return InResult::Complete;
}

void FtdiChip::abortIn() {
  std::lock_guard lock(mutex_);
  inProgress_.clear();
}

void FtdiChip::clearStall() {
  std::lock_guard lock(mutex_);
  if (fault_ == ChipFault::Stall) fault_ = ChipFault::None;
}

bool FtdiChip::unplugged() const {
  std::lock_guard lock(mutex_);
  return unplugged_ || !analyser_.connected();
}

void FtdiChip::unplug() {
  std::lock_guard lock(mutex_);
  unplugged_ = true;
}

void FtdiChip::failAfterFrame(ChipFault fault, const std::string& prefix) {
  std::lock_guard lock(mutex_);
  armedFault_ = fault;
  armedPrefix_ = prefix;
}

void FtdiChip::advanceAnalyserMillis(int64_t millis) {
  std::lock_guard lock(mutex_);
  analyserClock_.advanceMillis(millis);
}

void FtdiChip::setLatencyScale(double scale) {
  std::lock_guard lock(mutex_);
  latencyScale_ = scale;
}

int FtdiChip::latencyMillis() const {
  std::lock_guard lock(mutex_);
  return latencyMs_;
}

}  // namespace tolvane::hw
