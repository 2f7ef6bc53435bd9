// Spectrum files from anywhere: the reader either refuses (the channel
// count shown is the whole blocks found, the spectrum kept) or yields a spectrum of 512 ..
// 8192 channels in whole blocks; reading then writing keeps the header.
#include <sstream>
#include <string>

#include "app/session.h"
#include "device/clock.h"
#include "device/sim/sim_ftdi.h"
#include "files/spectrum_file.h"

using namespace tolvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  SpectrumFileHeader header;
  std::vector<int32_t> counts(8192);
  const int m = decodeSpectrumFile(in, header, counts.data(), 8192);
  if (m % 512 != 0 || m < 0 || m > 8192) __builtin_trap();
  if (size >= 1024 && m != static_cast<int>(std::min<size_t>((size - 1024) / 2048, 16)) * 512) __builtin_trap();

  // Through the session, as File > Read does (memory selected, so the
  // copy into a 4096-channel memory is exercised too).
  static ManualClock clock;
  static SimFtdi bridge(clock);
  static Session session(bridge, clock);
  session.SelectedMemory = 1 + static_cast<int>(size % 3);
  const SpectrumFileRead read = readSpectrumBytes(data, size);
  if (read.channels != m || static_cast<int>(read.counts.size()) != m) __builtin_trap();
  if (read.ok() && read.header != header) __builtin_trap();
  session.Texts.Edit1.clear();
  takeSpectrumFile(session, "fuzz.dat", read);
  const int32_t channels = session.Acquisition.ChannelCount;
  if (channels < 1 || channels > 8192) __builtin_trap();
  if (read.ok() && session.Texts.Edit1.empty() && session.Working.Header != header) __builtin_trap();
  return 0;
}
