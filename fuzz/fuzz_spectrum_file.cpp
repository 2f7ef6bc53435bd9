// Spectrum files from anywhere: the reader either refuses (the channel
// count shown is the whole blocks found) or yields a spectrum of 512 ..
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
  char path[] = "/tmp/tolvane-fuzz-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return 0;
  if (write(fd, data, size) != static_cast<ssize_t>(size)) {
    close(fd);
    unlink(path);
    return 0;
  }
  close(fd);
  session.Texts.Edit1.clear();
  ReadSpectrumFile(session, path);
  unlink(path);
  const int32_t channels = session.Acquisition.ChannelCount;
  if (channels < 1 || channels > 8192) __builtin_trap();
  if (session.Texts.Edit1.empty() && session.Working.Header != header) __builtin_trap();
  return 0;
}
