#pragma once
// What every text-spectrum reader's fuzz target checks: a reader either
// refuses with a line of the input or yields 1 .. 8192 whole counts and, if
// calibrated, a gain above zero; an import through the session either
// shows whole 512-channel blocks or leaves the session as it was.
#include <algorithm>
#include <string_view>

#include "app/session.h"
#include "device/clock.h"
#include "device/sim/sim_ftdi.h"
#include "files/spectrum_import.h"
#include "files/text_spectrum_read.h"

namespace tolvane {

inline void checkTextSpectrumRead(const TextSpectrumRead& read, std::string_view bytes) {
  const size_t lines = std::max<size_t>(1, textLines(bytes).size());
  if (read.ok()) {
    const size_t n = read.spectrum.counts.size();
    if (n < 1 || n > 8192) __builtin_trap();
    if (read.spectrum.calibrated && !(read.spectrum.gainKev > 0.0f)) __builtin_trap();
  } else if (read.line < 1 || static_cast<size_t>(read.line) > lines) {
    __builtin_trap();
  }
}

inline void checkImport(std::string_view bytes, int memory) {
  static ManualClock clock;
  static SimFtdi bridge(clock);
  static Session session(bridge, clock);
  session.SelectedMemory = memory;
  const std::vector<int32_t> before(session.Working.Counts);
  const int32_t channelsBefore = session.Acquisition.ChannelCount;
  const SpectrumImport o = importSpectrum(session, bytes, "fuzz");
  const int32_t channels = session.Acquisition.ChannelCount;
  if (o.kind == ImportOutcome::Kind::Loaded) {
    if (channels % 512 != 0 || channels < 512 || channels > 8192 || channels != o.channels) __builtin_trap();
  } else if (channels != channelsBefore || session.Working.Counts != before || o.refusal().empty()) {
    __builtin_trap();
  }
}

}  // namespace tolvane
