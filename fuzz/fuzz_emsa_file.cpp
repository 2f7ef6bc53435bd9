// EMSA/MSA files from anywhere: the reader either refuses with a line of
// the file or yields 1 .. 8192 whole counts; an import either leaves the
// session as it was or shows a spectrum of whole 512-channel blocks.
#include <algorithm>
#include <string_view>

#include "app/session.h"
#include "device/clock.h"
#include "device/sim/sim_ftdi.h"
#include "files/emsa_import.h"
#include "files/emsa_reader.h"

using namespace tolvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const EmsaReadOutcome read = readEmsa(bytes);
  const size_t lines = static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
  if (read.ok()) {
    const size_t n = read.spectrum.counts.size();
    if (n < 1 || n > 8192) __builtin_trap();
    if (read.spectrum.calibrated && read.spectrum.gainKev == 0.0f) __builtin_trap();
  } else if (read.line < 1 || static_cast<size_t>(read.line) > lines) {
    __builtin_trap();
  }

  // Through the session, as File > Import does, with a memory selected so
  // the copy into a 4096-channel memory is exercised too.
  static ManualClock clock;
  static SimFtdi bridge(clock);
  static Session session(bridge, clock);
  session.SelectedMemory = static_cast<int>(size % 4);
  const std::vector<int32_t> before(session.Working.Counts);
  const int32_t channelsBefore = session.Acquisition.ChannelCount;
  const ImportOutcome o = importEmsa(session, bytes, "fuzz.msa");
  const int32_t channels = session.Acquisition.ChannelCount;
  if (o.kind == ImportOutcome::Kind::Loaded) {
    if (channels % 512 != 0 || channels < 512 || channels > 8192 || channels != o.channels) __builtin_trap();
  } else if (channels != channelsBefore || session.Working.Counts != before) {
    __builtin_trap();
  }
  return 0;
}
