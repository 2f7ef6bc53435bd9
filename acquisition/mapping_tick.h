#pragma once
// One polling step of a mapping scan, apart from the screen: read the
// status block; when it reports a finished pass, count it and fetch its
// spectrum (the rate is kilocounts per second over the dwell of one pass);
// take over the analyser's view. Saving the pass, the labels and the
// preview are the caller's.
#include "device/mca_commands.h"

namespace tolvane {

struct AcquisitionState;
struct DisplayState;
struct ScanSetup;
struct SpectrumRecord;

enum class [[nodiscard]] MappingTickOutcome {
  StatusMissed,  // the status read failed: nothing counted, the view kept
  Scanning,      // status read, no pass finished
  PassRead,      // a pass was counted and its spectrum read whole
  PassLost,      // a pass was counted but its transfer did not complete
};

struct [[nodiscard]] MappingTickResult {
  MappingTickOutcome Outcome = MappingTickOutcome::Scanning;
  LinkOutcome Status = LinkOutcome::Done;
  SpectrumRead Spectrum = SpectrumRead::Complete;  // only for a counted pass

  bool passCounted() const {
    return Outcome == MappingTickOutcome::PassRead || Outcome == MappingTickOutcome::PassLost;
  }
};

MappingTickResult MappingStep(McaTransport& link, AcquisitionState& acquisition, SpectrumRecord& working,
                              DisplayState& display, const ScanSetup& scan);

}  // namespace tolvane
