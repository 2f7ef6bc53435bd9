#pragma once
// The analyser's 310-byte status block, the reply to "$R0;". Kept as the
// byte image it arrived as; multi-byte fields are little-endian.
#include <array>
#include <cstdint>

#include "records/little_endian.h"

namespace tolvane {

class DeviceStatus {
 public:
  static constexpr int kSize = 310;
  static constexpr int kPreviewPoints = 256;
  static constexpr int kViewFirstOffset = 256;
  static constexpr int kViewLastOffset = 258;
  static constexpr int kViewCursorOffset = 260;
  static constexpr int kFullScaleCodeOffset = 264;
  static constexpr int kRealTimeTicksOffset = 268;
  static constexpr int kEventCountOffset = 272;
  static constexpr int kScanDoneOffset = 309;

  DeviceStatus() { bytes_.fill(0); }

  std::array<uint8_t, kSize>& bytes() { return bytes_; }
  const std::array<uint8_t, kSize>& bytes() const { return bytes_; }

  uint8_t preview(int i) const { return bytes_[static_cast<size_t>(i)]; }
  void setPreview(int i, uint8_t v) { bytes_[static_cast<size_t>(i)] = v; }

  int16_t viewFirst() const { return loadI16(&bytes_[kViewFirstOffset]); }
  int16_t viewLast() const { return loadI16(&bytes_[kViewLastOffset]); }
  int16_t viewCursor() const { return loadI16(&bytes_[kViewCursorOffset]); }
  int16_t fullScaleCode() const { return loadI16(&bytes_[kFullScaleCodeOffset]); }
  int32_t realTimeTicks() const { return loadI32(&bytes_[kRealTimeTicksOffset]); }
  int32_t eventCount() const { return loadI32(&bytes_[kEventCountOffset]); }
  uint8_t scanDone() const { return bytes_[kScanDoneOffset]; }

  void setViewFirst(int16_t v) { storeI16(&bytes_[kViewFirstOffset], v); }
  void setViewLast(int16_t v) { storeI16(&bytes_[kViewLastOffset], v); }
  void setViewCursor(int16_t v) { storeI16(&bytes_[kViewCursorOffset], v); }
  // The analyser's counters as a clear leaves them: no time, no events.
  void clearCounters() {
    storeI32(&bytes_[kRealTimeTicksOffset], 0);
    storeI32(&bytes_[kEventCountOffset], 0);
  }
  void setFullScaleCode(int16_t v) { storeI16(&bytes_[kFullScaleCodeOffset], v); }
  void setRealTimeTicks(int32_t v) { storeI32(&bytes_[kRealTimeTicksOffset], v); }
  void setEventCount(int32_t v) { storeI32(&bytes_[kEventCountOffset], v); }
  void setScanDone(uint8_t v) { bytes_[kScanDoneOffset] = v; }

 private:
  std::array<uint8_t, kSize> bytes_;
};

}  // namespace tolvane
