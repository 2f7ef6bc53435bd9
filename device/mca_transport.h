#pragma once
// The three kinds of exchange with the analyser: a command answered by one
// acknowledgement byte, the 310-byte status block and a 512-byte spectrum
// block. Every wait for a reply is bounded by the link time-out; expiry is
// a link failure. Replies land in fixed buffers: bytes beyond the expected
// length are read and discarded, and stale bytes left by an earlier
// exchange are discarded before a new frame is written, so each exchange
// starts clean.
#include <atomic>
#include <cstdint>
#include <string_view>

#include "device/device_link.h"

namespace tolvane {

class Clock;
class DeviceStatus;

enum class [[nodiscard]] CommandResult { Accepted, Refused, LinkFailed };

enum class [[nodiscard]] BlockResult { Received, WriteFailed, PollFailed, TimedOut, ReadFailed };

class McaTransport {
 public:
  static constexpr int64_t kReplyTimeoutMicros = int64_t{kLinkTimeoutMillis} * 1000;
  static constexpr int64_t kPollIntervalMicros = 500;
  static constexpr uint8_t kAcknowledge = '!';
  static constexpr int kBlockChannels = 128;
  static constexpr uint32_t kBlockBytes = kBlockChannels * 4;

  McaTransport(FtdiApi& api, DeviceLink& link, Clock& clock) : api_(api), link_(link), clock_(clock) {}

  // Writes the frame and waits for the acknowledgement byte.
  CommandResult sendCommand(std::string_view frame);
  // "$R0;" into `status`; `status` is untouched unless the whole block came.
  bool readStatus(DeviceStatus& status);
  // "$R<block>;" into the 128 counts at `dest`, stored as they came.
  BlockResult readBlock(int block, int32_t* dest);
  // Whether the last exchange that failed ran out of time (rather than
  // meeting an error from the bridge).
  bool lastWaitTimedOut() const { return timedOut_; }

  // Safe from another thread: asks the link to give up on a silent
  // analyser, so the window can stop or close while a read waits. A wait
  // that has already lasted kStalledMicros (or that reaches it) ends as a
  // time-out, and every exchange after it fails without sending until
  // resumeWaiting(); replies that come in time are still taken, so a Stop
  // never cuts short a transfer that is going well.
  void cancelWaiting() { cancelled_.store(true, std::memory_order_relaxed); }
  // Called once the exchanges that were asked to give up have returned.
  void resumeWaiting() {
    cancelled_.store(false, std::memory_order_relaxed);
    abandoned_ = false;
  }
  // How long a reply may keep a cancelled exchange waiting: far beyond a
  // healthy reply (a few latency periods), far below the time-out.
  static constexpr int64_t kStalledMicros = 100'000;

 private:
  enum class Wait { Ready, PollFailed, ReadFailed, TimedOut };
  static constexpr uint32_t kScratchBytes = 2048;

  FtHandle handle() const { return link_.Handles[0]; }
  void discardWaiting();
  bool writeFrame(std::string_view frame);
  Wait waitFor(uint32_t bytes, uint32_t& waiting);
  // Waits for `expected` bytes and reads all that wait; the first
  // `expected` go to `dest`.
  Wait receive(uint8_t* dest, uint32_t expected);

  FtdiApi& api_;
  DeviceLink& link_;
  Clock& clock_;
  bool unclean_ = true;    // the last exchange may have left bytes behind
  bool timedOut_ = false;  // the last wait ended at the time-out
  std::atomic<bool> cancelled_{false};
  bool abandoned_ = false;  // a cancelled wait ran out: send nothing more
};

}  // namespace tolvane
