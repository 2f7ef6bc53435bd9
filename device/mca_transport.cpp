#include "device/mca_transport.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "device/clock.h"
#include "records/device_status.h"
#include "records/little_endian.h"

namespace tolvane {

void McaTransport::discardWaiting() {
  std::array<uint8_t, kScratchBytes> sink;
  // Bounded: a peer that streams without end cannot hold us here.
  for (int round = 0; round < 64; ++round) {
    uint32_t waiting = 0;
    if (api_.getQueueStatus(handle(), waiting) != FtOk || waiting == 0) return;
    uint32_t got = 0;
    if (api_.read(handle(), sink.data(), std::min(waiting, kScratchBytes), got) != FtOk || got == 0) return;
  }
}

bool McaTransport::writeFrame(std::string_view frame) {
  timedOut_ = false;
  if (abandoned_) {
    timedOut_ = true;
    return false;
  }
  if (unclean_) discardWaiting();
  unclean_ = true;  // until a reply has been taken whole
  uint32_t written = 0;
  return api_.write(handle(), frame.data(), static_cast<uint32_t>(frame.size()), written) == FtOk;
}

McaTransport::Wait McaTransport::waitFor(uint32_t bytes, uint32_t& waiting) {
  const int64_t start = clock_.nowMicros();
  const int64_t deadline = start + kReplyTimeoutMicros;
  timedOut_ = false;
  for (;;) {
    waiting = 0;
    if (api_.getQueueStatus(handle(), waiting) != FtOk) return Wait::PollFailed;
    if (waiting >= bytes) return Wait::Ready;
    const int64_t now = clock_.nowMicros();
    const bool stalled = now - start >= kStalledMicros && cancelled_.load(std::memory_order_relaxed);
    if (now >= deadline || stalled) {
      abandoned_ = abandoned_ || stalled;
      timedOut_ = true;
      return Wait::TimedOut;
    }
    clock_.sleepMicros(kPollIntervalMicros);
  }
}

McaTransport::Wait McaTransport::receive(uint8_t* dest, uint32_t expected) {
  uint32_t waiting = 0;
  if (const Wait w = waitFor(expected, waiting); w != Wait::Ready) return w;
  std::array<uint8_t, kScratchBytes> scratch;
  const uint32_t want = std::min(waiting, kScratchBytes);
  uint32_t got = 0;
  if (api_.read(handle(), scratch.data(), want, got) != FtOk || got < expected) return Wait::ReadFailed;
  std::copy_n(scratch.begin(), expected, dest);
  unclean_ = waiting != expected;  // anything beyond the reply has no destination
  return Wait::Ready;
}

CommandResult McaTransport::sendCommand(std::string_view frame) {
  if (!writeFrame(frame)) return CommandResult::LinkFailed;
  uint8_t reply = 0;
  if (receive(&reply, 1) != Wait::Ready) return CommandResult::LinkFailed;
  if (reply != kAcknowledge) {
    unclean_ = true;  // a stray byte may stand in front of the real reply
    return CommandResult::Refused;
  }
  return CommandResult::Accepted;
}

bool McaTransport::readStatus(DeviceStatus& status) {
  if (!writeFrame("$R0;")) return false;
  std::array<uint8_t, DeviceStatus::kSize> block;
  if (receive(block.data(), DeviceStatus::kSize) != Wait::Ready) return false;
  status.bytes() = block;
  return true;
}

BlockResult McaTransport::readBlock(int block, int32_t* dest) {
  std::array<char, 16> frame;
  const int length = std::snprintf(frame.data(), frame.size(), "$R%d;", block);
  if (!writeFrame(std::string_view(frame.data(), static_cast<size_t>(length)))) return BlockResult::WriteFailed;
  std::array<uint8_t, kBlockBytes> bytes;
  switch (receive(bytes.data(), kBlockBytes)) {
    case Wait::Ready:
      break;
    case Wait::PollFailed:
      return BlockResult::PollFailed;
    case Wait::ReadFailed:
      return BlockResult::ReadFailed;
    case Wait::TimedOut:
      return BlockResult::TimedOut;
  }
  for (int i = 0; i < kBlockChannels; ++i) dest[i] = loadI32(&bytes[static_cast<size_t>(4 * i)]);
  return BlockResult::Received;
}

}  // namespace tolvane
