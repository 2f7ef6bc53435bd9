// The analyser's replies from anywhere: acknowledgements, status blocks and
// spectrum blocks of any length and content, through the link's commands
// and the MCA and mapping steps, with no window state and no plot. Every
// exchange ends (time-outs pass in one step of the clock: a wait that never
// ended would hang the fuzzer), the outcomes agree with the state they
// leave, and the counts stay inside the working spectrum.
#include "acquisition/mapping_tick.h"
#include "acquisition/mca_tick.h"
#include "records/shared_records.h"
#include "records/spectrum_record.h"
#include "device/device_link.h"
#include "device/mca_commands.h"
#include "replay_bridge.h"
#include "step_clock.h"

using namespace tolvane;

namespace {

// Exchanges that can time out in the script below: "$G;"; four MCA steps of
// at most three each (a step at the preset can time out on the block read,
// the re-read and the stop; its status read then succeeded); the scan's
// "$P" and "$X;"; one mapping step (the status read, or the pass's
// transfer after it); the cursor; the stop.
constexpr int kMcaSteps = 4;
constexpr int kTimeOuts = 1 + kMcaSteps * 3 + 2 + 1 + 1 + 1;

void check(bool holds) {
  if (!holds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  StepClock clock;
  ReplayBridge bridge(data, size);
  DeviceLink link;
  McaTransport transport(bridge, link, clock);
  AcquisitionState acquisition;
  SpectrumRecord working(SpectrumRecord::kWorkingCapacity);
  DisplayState display;
  McaSetup mca;
  ScanSetup scan;

  check(OpenAnalyser(bridge, link, acquisition, 0) == OpenOutcome::Opened);
  const int64_t start = clock.nowMicros();
  const LinkOutcome started = StartAcquisition(transport, acquisition);
  check((acquisition.Running == 1) == (started == LinkOutcome::Done) && acquisition.Mode == 1);
  for (int i = 0; i < kMcaSteps; ++i) {
    clock.advanceMillis(100);
    const int32_t realBefore = acquisition.Status.realTimeTicks() / 10;
    const McaTickResult tick = McaStep({transport, acquisition, working, display, mca});
    if (tick.Status == LinkOutcome::Done)
      check(display.FirstShown == acquisition.Status.viewFirst() && display.LastShown == acquisition.Status.viewLast());
    // A run that reaches its preset shows the preset; one whose analyser had
    // already counted past it shows the analyser's real time.
    if (tick.runEnded()) {
      const bool atPreset = realBefore < mca.PresetTime;
      check(acquisition.Running == 0 &&
            acquisition.RealTime == (atPreset ? mca.PresetTime : acquisition.Status.realTimeTicks() / 10) &&
            acquisition.EndedAtPreset == (atPreset ? mca.PresetTime : 0));
    }
    check(tick.Outcome != McaTickOutcome::PrecisionReached);  // no precision check was given
    check(acquisition.CountRate >= 0 || tick.Spectrum != SpectrumRead::Complete);
  }
  (void)SetPresetTime(transport, acquisition, scan.PresetTime);  // the replies are fuzzed: it may fail
  const LinkOutcome scanning = StartScan(transport, acquisition);
  check((acquisition.Running == 1) == (scanning == LinkOutcome::Done) && acquisition.Mode == 0);
  clock.advanceMillis(100);
  const int32_t passes = acquisition.ScanCount;
  const MappingTickResult pass = MappingStep(transport, acquisition, working, display, scan);
  check(acquisition.ScanCount == passes + (pass.passCounted() ? 1 : 0));
  (void)SetCursor(transport, 7);  // any reply may come: only that nothing breaks is checked
  const LinkOutcome stopped = StopAcquisition(transport, acquisition);
  check(stopped == LinkOutcome::Refused || acquisition.Running == 0);
  check(clock.nowMicros() - start <= scriptBoundMicros(kTimeOuts, kMcaSteps + 1));
  check(acquisition.ChannelCount >= 1 && acquisition.ChannelCount <= working.capacity());
  return 0;
}
