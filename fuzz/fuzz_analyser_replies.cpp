// The analyser's replies from anywhere: acknowledgements, status blocks and
// spectrum blocks of any length and content, through the MCA tick, the
// mapping tick and the commands. Every exchange ends (the clock is
// manual: a wait that never ends would hang the fuzzer), and the counts
// stay inside the working spectrum.
#include "acquisition/mapping_scan.h"
#include "acquisition/run_control.h"
#include "app/session.h"
#include "device/clock.h"
#include "device/mca_commands.h"
#include "device/mca_open_click.h"
#include "replay_bridge.h"

using namespace tolvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ManualClock clock;
  ReplayBridge bridge(data, size);
  Session session(bridge, clock);
  McaOpenClick(session);
  const int64_t start = clock.nowMicros();
  McaStartClick(session);
  for (int i = 0; i < 4; ++i) {
    clock.advanceMillis(100);
    Timer1Timer(session);
  }
  ZorvStartClick(session);
  clock.advanceMillis(100);
  Timer1Timer(session);
  SetCursor(session, 0, 7);
  McaStopClick(session);
  // 16 exchanges at most 3 s each, plus the ticks' own time.
  if (clock.nowMicros() - start > 16 * 3'100'000LL + 1'000'000) __builtin_trap();
  if (session.Acquisition.ChannelCount < 1 || session.Acquisition.ChannelCount > 8192) __builtin_trap();
  return 0;
}
