#include "device/mca_commands.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>

#include "app/session.h"

namespace tolvane {

namespace {

// Formats into a short fixed buffer; the callers' values fit in it.
template <typename... Args>
std::string frameText(const char* format, Args... args) {
  char buffer[32];
  const int n = std::snprintf(buffer, sizeof buffer, format, args...);
  return std::string(buffer, static_cast<size_t>(std::clamp(n, 0, static_cast<int>(sizeof buffer) - 1)));
}

void clearCounts(Session& s, int from, int count) {
  const int end = std::min(from + count, s.Working.capacity());
  if (from < 0 || from >= end) return;
  std::fill(s.Working.Counts.begin() + from, s.Working.Counts.begin() + end, 0);
}

}  // namespace

CommandResult SendCommand(Session& session, const std::string& frame) { return session.Transport.sendCommand(frame); }

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

int StartAcquisition(Session& s, int /*device*/) {
  s.Acquisition.Mode = 1;
  if (SendCommand(s, "$G;") != CommandResult::Accepted) {
    s.Acquisition.Running = 0;
    return 0;
  }
  s.Timer1.Enabled = true;
  s.Acquisition.Running = 1;
  return 1;
}

int StartScan(Session& s, int /*device*/) {
  s.Acquisition.Mode = 0;
  if (SendCommand(s, "$X;") != CommandResult::Accepted) {
    s.Acquisition.Running = 0;
    return 0;
  }
  s.Timer1.IntervalMs = s.Scan.RefreshInterval;
  s.Timer1.Enabled = true;
  s.Acquisition.ScanCount = 0;
  s.Acquisition.Running = 1;
  return 1;
}

int StopAcquisition(Session& s, int /*device*/) {
  switch (SendCommand(s, "$S;")) {
    case CommandResult::Accepted:
      s.Timer1.Enabled = false;
      s.Acquisition.Running = 0;
      return 1;
    case CommandResult::Refused:
      return 0;  // the analyser said no: the run goes on
    case CommandResult::LinkFailed:
      // The analyser cannot be reached: stop polling it so the user is
      // not left with a run that can never be stopped.
      s.Timer1.Enabled = false;
      s.Acquisition.Running = 0;
      s.Texts.Edit1 = kStopLinkFailedText;
      return 0;
  }
  return 0;
}

int ClearSpectrum(Session& s, int /*device*/) {
  if (SendCommand(s, "$C;") != CommandResult::Accepted) return 0;
  clearCounts(s, 0, s.Acquisition.ChannelCount);
  return 1;
}

int ClearScan(Session& s, int /*device*/) {
  s.Acquisition.ScanCount = 0;
  clearCounts(s, 4096, s.Acquisition.ChannelCount);
  if (SendCommand(s, "$CX;") != CommandResult::Accepted) return 0;
  clearCounts(s, 0, s.Acquisition.ChannelCount);
  return 1;
}

int ReadSpectrum(Session& s, int /*device*/) { return ReadSpectrumBlocks(s) == SpectrumRead::Failed ? 0 : 1; }

SpectrumRead ReadSpectrumBlocks(Session& s) {
  const int channels = std::clamp(s.Acquisition.ChannelCount, 0, s.Working.capacity());
  const int blockChannels = McaTransport::kBlockChannels;
  const int blocks = channels / blockChannels;
  bool missed = false;
  for (int k = 1; k <= blocks; ++k) {
    int32_t* dest = s.Working.Counts.data() + static_cast<ptrdiff_t>(k - 1) * blockChannels;
    const BlockResult result = s.Transport.readBlock(k, dest);
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
    const int32_t v = s.Working.Counts[static_cast<size_t>(c)];
    if (v > maximum) maximum = v;
    total += static_cast<uint32_t>(v);  // wraps modulo 2^32
  }
  s.Acquisition.MaxCount = maximum;
  s.Acquisition.CountRate = static_cast<float>(total);
  return missed ? SpectrumRead::BlocksMissed : SpectrumRead::Complete;
}

int ReadStatus(Session& s, int /*device*/) { return s.Transport.readStatus(s.Acquisition.Status) ? 1 : 0; }

int SetPresetTime(Session& s, int /*device*/, int32_t tenths) {
  const std::string frame = presetFrame(tenths);
  s.Texts.Edit1 = frame;
  if (SendCommand(s, frame) != CommandResult::Accepted) return 0;
  s.Acquisition.AnalyserPresetTime = tenths;
  return 1;
}

int SetMemorySize(Session& s, int /*device*/, int32_t channels) {
  const std::string frame = memorySizeFrame(channels);
  if (frame.empty()) return 0;  // the protocol has no frame for this size
  return SendCommand(s, frame) == CommandResult::Accepted ? 1 : 0;
}

int SetCursor(Session& s, int /*device*/, int32_t channel) {
  if (channel < 0 || channel > 9999) return 0;
  return SendCommand(s, cursorFrame(channel)) == CommandResult::Accepted ? 1 : 0;
}

int SetRoiWindow(Session& s, int /*device*/, int roi, int32_t low, int32_t high) {
  if (roi < 1 || roi > 4 || low < 0 || low > 9999 || high < 0 || high > 9999) return 0;
  return SendCommand(s, roiWindowFrame(roi, low, high)) == CommandResult::Accepted ? 1 : 0;
}

int SetOutputMode(Session& s, int /*device*/, char mode) {
  if (mode != 'G' && mode != 'S' && mode != 'M') return 0;
  const std::string frame = std::string("$D") + mode + ";";
  return SendCommand(s, frame) == CommandResult::Accepted ? 1 : 0;
}

}  // namespace tolvane
