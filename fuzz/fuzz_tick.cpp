// The polling steps with everything the plot shows, on replies from
// anywhere: a run's start, four MCA steps (the rate, times and dead time)
// each followed by the plot model, a scan's start and one mapping step with
// the analyser's preview, the cursor and the stop. Every exchange ends and
// the plot model is built from whatever the replies left.
#include "acquisition/mapping_tick.h"
#include "acquisition/mca_start.h"
#include "acquisition/mca_tick.h"
#include "app/session.h"
#include "device/device_link.h"
#include "device/mca_commands.h"
#include "display/plot_model.h"
#include "replay_bridge.h"
#include "step_clock.h"

using namespace tolvane;

namespace {

// As in the analyser-replies script: "$G;", three per step at the preset,
// "$P" and "$X;", the mapping step, the cursor, the stop.
constexpr int kMcaSteps = 4;
constexpr int kTimeOuts = 1 + kMcaSteps * 3 + 2 + 1 + 1 + 1;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  StepClock clock;
  ReplayBridge bridge(data, size);
  Session session(bridge, clock);
  if (OpenAnalyser(bridge, session.Link, session.Acquisition, 0) != OpenOutcome::Opened) __builtin_trap();
  const int64_t start = clock.nowMicros();
  PrepareMcaRun(session);
  (void)StartMcaRun(session);  // a refused start is one of the runs fuzzed
  buildScaleFrame(session, true, true, session.Plot);
  for (int i = 0; i < kMcaSteps; ++i) {
    clock.advanceMillis(100);
    (void)McaStep({session.Transport, session.Acquisition, session.Working, session.Display, session.Mca});  // any outcome
    buildPaintModel(session, session.Plot);
  }
  (void)SetPresetTime(session.Transport, session.Acquisition, session.Scan.PresetTime);  // may be refused: fuzzed
  (void)StartScan(session.Transport, session.Acquisition);  // may be refused: fuzzed
  clock.advanceMillis(100);
  (void)MappingStep(session.Transport, session.Acquisition, session.Working, session.Display, session.Scan);  // any outcome
  buildMappingPreview(session, session.Plot);
  // Whatever the replies, only the time bound and the state are checked.
  (void)SetCursor(session.Transport, 7);
  (void)StopAcquisition(session.Transport, session.Acquisition);
  buildPaintModel(session, session.Plot);
  if (clock.nowMicros() - start > scriptBoundMicros(kTimeOuts, kMcaSteps + 1)) __builtin_trap();
  if (session.Acquisition.ChannelCount < 1 || session.Acquisition.ChannelCount > 8192) __builtin_trap();
  return 0;
}
