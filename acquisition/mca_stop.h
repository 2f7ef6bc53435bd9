#pragma once
// The engine half of the MCA page's "Stop": stop the analyser and, when it
// was counting, take the counts and times it reached since the last poll.
#include "acquisition/mca_tick.h"

namespace tolvane {

struct [[nodiscard]] McaStopResult {
  LinkOutcome Stop = LinkOutcome::Done;
  // Only when a counting MCA run was stopped: the last transfer and status.
  bool FinalRead = false;
  SpectrumRead FinalSpectrum = SpectrumRead::Complete;
  LinkOutcome FinalStatus = LinkOutcome::Done;
};

// Sends "$S;". When an MCA run was counting and the analyser stopped, the
// spectrum and status are read once more, so the working spectrum holds
// every count of the run (not only those of the last poll, up to a polling
// interval earlier) and the real and live times are the ones it stopped at.
McaStopResult StopMcaRun(const McaTickRecords& records);

}  // namespace tolvane
