#include "device/mca_transport.h"

#include <array>
#include <cstdio>

#include "device/clock.h"
#include "device/device_status.h"
#include "files/little_endian.h"

namespace tolvane {

namespace {
constexpr uint32_t kDrainChunk = 1024;
}

void McaTransport::discardWaiting() {
  std::array<uint8_t, kDrainChunk> sink;
  // Bounded: a peer that streams without end cannot hold us here.
  for (int round = 0; round < 64; ++round) {
    uint32_t waiting = 0;
    if (api_.getQueueStatus(handle(), waiting) != FtOk || waiting == 0) return;
    uint32_t got = 0;
    const uint32_t want = waiting < kDrainChunk ? waiting : kDrainChunk;
    if (api_.read(handle(), sink.data(), want, got) != FtOk || got == 0) return;
  }
}

bool McaTransport::writeFrame(std::string_view frame) {
  discardWaiting();
  uint32_t written = 0;
  return api_.write(handle(), frame.data(), static_cast<uint32_t>(frame.size()), written) == FtOk;
}

McaTransport::Wait McaTransport::waitFor(uint32_t bytes) {
  const int64_t deadline = clock_.nowMicros() + kReplyTimeoutMicros;
  for (;;) {
    uint32_t waiting = 0;
    if (api_.getQueueStatus(handle(), waiting) != FtOk) return Wait::Failed;
    if (waiting >= bytes) return Wait::Ready;
    if (clock_.nowMicros() >= deadline) return Wait::TimedOut;
    clock_.sleepMicros(kPollIntervalMicros);
  }
}

bool McaTransport::readReply(uint8_t* dest, uint32_t expected) {
  uint32_t got = 0;
  if (api_.read(handle(), dest, expected, got) != FtOk || got != expected) return false;
  discardWaiting();  // anything past the expected length has no destination
  return true;
}

CommandResult McaTransport::sendCommand(std::string_view frame) {
  if (!writeFrame(frame)) return CommandResult::LinkFailed;
  if (waitFor(1) != Wait::Ready) return CommandResult::LinkFailed;
  uint8_t reply = 0;
  if (!readReply(&reply, 1)) return CommandResult::LinkFailed;
  return reply == kAcknowledge ? CommandResult::Accepted : CommandResult::Refused;
}

bool McaTransport::readStatus(DeviceStatus& status) {
  if (!writeFrame("$R0;")) return false;
  if (waitFor(DeviceStatus::kSize) != Wait::Ready) return false;
  std::array<uint8_t, DeviceStatus::kSize> block;
  if (!readReply(block.data(), DeviceStatus::kSize)) return false;
  status.bytes() = block;
  return true;
}

BlockResult McaTransport::readBlock(int block, int32_t* dest) {
  std::array<char, 16> frame;
  const int length = std::snprintf(frame.data(), frame.size(), "$R%d;", block);
  if (!writeFrame(std::string_view(frame.data(), static_cast<size_t>(length)))) return BlockResult::WriteFailed;
  switch (waitFor(kBlockBytes)) {
    case Wait::Ready: break;
    case Wait::Failed: return BlockResult::PollFailed;
    case Wait::TimedOut: return BlockResult::TimedOut;
  }
  std::array<uint8_t, kBlockBytes> bytes;
  if (!readReply(bytes.data(), kBlockBytes)) return BlockResult::ReadFailed;
  for (int i = 0; i < kBlockChannels; ++i) dest[i] = loadI32(&bytes[static_cast<size_t>(4 * i)]);
  return BlockResult::Received;
}

}  // namespace tolvane
