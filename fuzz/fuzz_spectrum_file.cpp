// Spectrum files from anywhere: the stream reader either refuses (the
// spectrum in the session kept whole) or yields a spectrum of 512 .. 8192
// channels in whole blocks (by the standards' rule, 512 .. 4096); taking it keeps its header, and writing it
// back gives the bytes that were read.
#include <algorithm>
#include <sstream>
#include <string>

#include "app/session.h"
#include "device/clock.h"
#include "device/sim/sim_ftdi.h"
#include "files/spectrum_file.h"

using namespace tolvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::istringstream in(bytes);
  const SpectrumFileRead read = readSpectrumStream(in);
  const int m = read.channels;
  if (m % 512 != 0 || m < 0 || m > 8192 || static_cast<int>(read.counts.size()) != m) __builtin_trap();
  if (size >= 1024 && m != static_cast<int>(std::min<size_t>((size - 1024) / 2048, 16)) * 512) __builtin_trap();
  if (read.outcome == SpectrumFileRead::Outcome::CannotOpen) __builtin_trap();
  if (read.ok() != (m > 0 && read.header.channelCount() == m)) __builtin_trap();

  // The standards' rule on the same bytes: whole blocks up to 8, the
  // header's count only warned of; the counts are those File > Read takes.
  std::istringstream again(bytes);
  const SpectrumFileRead standard = readSpectrumStream(again, SpectrumReadRule::Standard);
  const int k = standard.channels;
  if (size >= 1024 && k != static_cast<int>(std::min<size_t>((size - 1024) / 2048, 8)) * 512) __builtin_trap();
  if (size < 1024 && k != 0) __builtin_trap();
  if (standard.ok() != (k > 0) || static_cast<int>(standard.counts.size()) != k) __builtin_trap();
  if (!std::equal(standard.counts.begin(), standard.counts.end(), read.counts.begin())) __builtin_trap();
  if (standard.headerDisagrees() != (k > 0 && standard.header.channelCount() != k)) __builtin_trap();

  if (read.ok()) {
    // A spectrum read writes back as the bytes it was read from.
    std::ostringstream out;
    if (writeSpectrumStream(out, read.header, read.counts.data(), m) != FileWriteOutcome::Written) __builtin_trap();
    if (out.str() != bytes.substr(0, 1024 + 4 * static_cast<size_t>(m))) __builtin_trap();
  }

  // Into the session, as File > Read does (memory selected, so the copy
  // into a 4096-channel memory is exercised too).
  static ManualClock clock;
  static SimFtdi bridge(clock);
  static Session session(bridge, clock);
  session.SelectedMemory = 1 + static_cast<int>(size % 3);
  const SpectrumFileHeader before = session.Working.Header;
  const int32_t channelsBefore = session.Acquisition.ChannelCount;
  const SpectrumFileTake take = takeSpectrumRead(session, "fuzz.dat", read);
  if (take.outcome != read.outcome || take.channels != m) __builtin_trap();
  const int32_t channels = session.Acquisition.ChannelCount;
  if (channels < 1 || channels > 8192) __builtin_trap();
  if (read.ok()) {
    if (session.Working.Header != read.header || channels != m) __builtin_trap();
    const SpectrumAdoption& a = take.adoption;
    if (a.channels != m || a.memory != session.SelectedMemory || a.memoryKept != std::min(m, 4096)) __builtin_trap();
    if (session.Display.FirstShown != 0 || session.Display.LastShown != m - 1) __builtin_trap();
  } else if (session.Working.Header != before || channels != channelsBefore) {
    __builtin_trap();
  }
  return 0;
}
