#pragma once
// A USB bridge whose analyser answers with bytes taken from the fuzzer's
// input: each frame written gets the next chunk as its reply (its length
// from one input byte). It stands in for the hardware only; everything
// above it is the program's own link code.
#include <algorithm>
#include <cstring>
#include <deque>

#include "device/ftdi_api.h"

namespace tolvane {

class ReplayBridge final : public FtdiApi {
 public:
  ReplayBridge(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  std::string backendName() const override { return "replay"; }
  FtStatus listDevices(SerialList& serials, uint32_t& count) override {
    serials[0].fill('\0');
    std::memcpy(serials[0].data(), "FUZZ", 4);
    count = 1;
    return FtOk;
  }
  FtStatus openBySerial(const char*, FtHandle& handle) override {
    handle = this;
    return FtOk;
  }
  FtStatus resetDevice(FtHandle) override { return FtOk; }
  FtStatus setLatencyTimer(FtHandle, uint8_t) override { return FtOk; }
  FtStatus setTimeouts(FtHandle, uint32_t, uint32_t) override { return FtOk; }
  FtStatus purge(FtHandle, uint32_t) override {
    pending_.clear();
    return FtOk;
  }
  FtStatus write(FtHandle, const void*, uint32_t size, uint32_t& written) override {
    written = size;
    if (offset_ >= size_) return FtIoError;  // the input is used up: unplugged
    // Reply lengths around the ones the protocol expects, and anything else.
    static constexpr uint32_t kLengths[] = {0, 1, 2, 310, 309, 311, 512, 511, 513, 700};
    const uint8_t selector = data_[offset_++];
    const uint32_t length = selector < 200 ? kLengths[selector % 10] : selector - 200;
    const size_t take = std::min<size_t>(length, size_ - offset_);
    pending_.insert(pending_.end(), data_ + offset_, data_ + offset_ + take);
    offset_ += take;
    return FtOk;
  }
  FtStatus getQueueStatus(FtHandle, uint32_t& waiting) override {
    waiting = static_cast<uint32_t>(pending_.size());
    return FtOk;
  }
  FtStatus read(FtHandle, void* out, uint32_t size, uint32_t& received) override {
    received = std::min<uint32_t>(size, static_cast<uint32_t>(pending_.size()));
    std::copy_n(pending_.begin(), received, static_cast<uint8_t*>(out));
    pending_.erase(pending_.begin(), pending_.begin() + received);
    return FtOk;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t offset_ = 0;
  std::deque<uint8_t> pending_;
};

}  // namespace tolvane
