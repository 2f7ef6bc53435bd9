#include "device/mca_commands.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>

#include "records/shared_records.h"
#include "records/spectrum_record.h"

namespace tolvane {

namespace {

// Formats into a short fixed buffer; the callers' values fit in it.
template <typename... Args>
std::string frameText(const char* format, Args... args) {
  char buffer[32];
  const int n = std::snprintf(buffer, sizeof buffer, format, args...);
  return std::string(buffer, static_cast<size_t>(std::clamp(n, 0, static_cast<int>(sizeof buffer) - 1)));
}

void clearCounts(SpectrumRecord& working, int from, int count) {
  const int end = std::min(from + count, working.capacity());
  if (from < 0 || from >= end) return;
  std::fill(working.Counts.begin() + from, working.Counts.begin() + end, 0);
}

LinkOutcome failureOf(const McaTransport& link) {
  return link.lastWaitTimedOut() ? LinkOutcome::TimedOut : LinkOutcome::LinkFailed;
}

}  // namespace

LinkOutcome SendCommand(McaTransport& link, std::string_view frame) {
  switch (link.sendCommand(frame)) {
    case CommandResult::Accepted:
      return LinkOutcome::Done;
    case CommandResult::Refused:
      return LinkOutcome::Refused;
    case CommandResult::LinkFailed:
      break;
  }
  return failureOf(link);
}

std::string presetFrame(int32_t tenths) { return frameText("$P%d;", tenths); }

std::string memorySizeFrame(int32_t channels) {
  switch (channels) {
    case 512:
    case 1024:
    case 2048:
    case 4096:
      return frameText("$M%d;", channels / 128);
    default:
      return {};
  }
}

std::string cursorFrame(int32_t channel) { return frameText("$@C%04d;", channel); }

std::string roiWindowFrame(int roi, int32_t low, int32_t high) { return frameText("$@R%d,%04d,%04d;", roi, low, high); }

LinkOutcome StartAcquisition(McaTransport& link, AcquisitionState& a) {
  a.Mode = 1;
  const LinkOutcome outcome = SendCommand(link, "$G;");
  a.Running = outcome == LinkOutcome::Done ? 1 : 0;
  if (outcome == LinkOutcome::Done) {
    a.StopUnconfirmed = false;
    a.PassMemoryUsed = true;
  }
  return outcome;
}

LinkOutcome StartScan(McaTransport& link, AcquisitionState& a) {
  a.Mode = 0;
  const LinkOutcome outcome = SendCommand(link, "$X;");
  if (outcome != LinkOutcome::Done) {
    a.Running = 0;
    return outcome;
  }
  a.ScanCount = 0;
  a.Running = 1;
  a.StopUnconfirmed = false;
  a.PassMemoryUsed = true;
  return outcome;
}

LinkOutcome StopAcquisition(McaTransport& link, AcquisitionState& a) {
  const LinkOutcome outcome = SendCommand(link, "$S;");
  // A refusal means the analyser goes on counting; every other outcome ends
  // the run as far as the program can tell.
  if (outcome != LinkOutcome::Refused) a.Running = 0;
  // No answer at all: the frame may never have arrived.
  if (outcome == LinkOutcome::Done) a.StopUnconfirmed = false;
  if (outcome == LinkOutcome::LinkFailed || outcome == LinkOutcome::TimedOut) a.StopUnconfirmed = true;
  return outcome;
}

LinkOutcome ClearSpectrum(McaTransport& link, const AcquisitionState& a, SpectrumRecord& working) {
  const LinkOutcome outcome = SendCommand(link, "$C;");
  if (outcome == LinkOutcome::Done) clearCounts(working, 0, a.ChannelCount);
  return outcome;
}

LinkOutcome ClearScan(McaTransport& link, AcquisitionState& a, SpectrumRecord& working) {
  a.ScanCount = 0;
  clearCounts(working, 4096, a.ChannelCount);
  const LinkOutcome outcome = SendCommand(link, "$CX;");
  if (outcome == LinkOutcome::Done) {
    clearCounts(working, 0, a.ChannelCount);
    a.PassMemoryUsed = false;
  }
  return outcome;
}

SpectrumRead ReadSpectrum(McaTransport& link, AcquisitionState& a, SpectrumRecord& working) {
  const int channels = std::clamp(a.ChannelCount, 0, working.capacity());
  const int blockChannels = McaTransport::kBlockChannels;
  const int blocks = channels / blockChannels;
  bool missed = false;
  for (int k = 1; k <= blocks; ++k) {
    int32_t* dest = working.Counts.data() + static_cast<ptrdiff_t>(k - 1) * blockChannels;
    const BlockResult result = link.readBlock(k, dest);
    if (result == BlockResult::PollFailed) {
      missed = true;  // this block keeps its old counts
      continue;
    }
    // A silent analyser costs one time-out, not one per remaining block.
    if (result != BlockResult::Received) return SpectrumRead::Failed;
  }
  int32_t maximum = 0;
  uint32_t total = 0;
  for (int c = 0; c < channels; ++c) {
    const int32_t v = working.Counts[static_cast<size_t>(c)];
    if (v > maximum) maximum = v;
    total += static_cast<uint32_t>(v);  // wraps modulo 2^32
  }
  a.MaxCount = maximum;
  a.CountRate = static_cast<float>(total);
  return missed ? SpectrumRead::BlocksMissed : SpectrumRead::Complete;
}

LinkOutcome ReadStatus(McaTransport& link, AcquisitionState& a) {
  return link.readStatus(a.Status) ? LinkOutcome::Done : failureOf(link);
}

LinkOutcome SetPresetTime(McaTransport& link, AcquisitionState& a, int32_t tenths) {
  const LinkOutcome outcome = SendCommand(link, presetFrame(tenths));
  if (outcome == LinkOutcome::Done) a.AnalyserPresetTime = tenths;
  return outcome;
}

LinkOutcome SetMemorySize(McaTransport& link, int32_t channels) {
  const std::string frame = memorySizeFrame(channels);
  if (frame.empty()) return LinkOutcome::NoFrame;
  return SendCommand(link, frame);
}

LinkOutcome SetCursor(McaTransport& link, int32_t channel) {
  if (channel < 0 || channel > 9999) return LinkOutcome::NoFrame;
  return SendCommand(link, cursorFrame(channel));
}

LinkOutcome SetRoiWindow(McaTransport& link, int roi, int32_t low, int32_t high) {
  if (roi < 1 || roi > 4 || low < 0 || low > 9999 || high < 0 || high > 9999) return LinkOutcome::NoFrame;
  return SendCommand(link, roiWindowFrame(roi, low, high));
}

LinkOutcome SetOutputMode(McaTransport& link, char mode) {
  if (mode != 'G' && mode != 'S' && mode != 'M') return LinkOutcome::NoFrame;
  const char frame[] = {'$', 'D', mode, ';'};
  return SendCommand(link, std::string_view(frame, sizeof frame));
}

}  // namespace tolvane
