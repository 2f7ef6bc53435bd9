#pragma once
// One polling step of an MCA acquisition, apart from the screen: fetch the
// spectrum and the status block, take over the analyser's view, end the run
// at the preset time (or when the precision check says so), and turn the
// analyser's counters into count rate, live time and dead time. The caller
// keeps the polling going, shows the labels and repaints.
#include <functional>

#include "device/mca_commands.h"

namespace tolvane {

struct AcquisitionState;
struct DisplayState;
struct McaSetup;
struct SpectrumRecord;

enum class [[nodiscard]] McaTickOutcome {
  Counting,          // status read; the run goes on
  StatusMissed,      // the status read failed: times and rate from the previous block
  PresetReached,     // the run ended at the preset real time
  PrecisionReached,  // the run ended at the precision target
};

// The polling interval of an MCA run, ms.
inline constexpr int kPollIntervalMillis = 100;

struct [[nodiscard]] McaTickResult {
  McaTickOutcome Outcome = McaTickOutcome::Counting;
  SpectrumRead Spectrum = SpectrumRead::Complete;  // the tick's own transfer
  LinkOutcome Status = LinkOutcome::Done;
  // Only for a run that ended: the final transfer and the stop.
  SpectrumRead FinalSpectrum = SpectrumRead::Complete;
  LinkOutcome Stop = LinkOutcome::Done;

  bool runEnded() const {
    return Outcome == McaTickOutcome::PresetReached || Outcome == McaTickOutcome::PrecisionReached;
  }
};

// The records one MCA step reads and changes.
struct McaTickRecords {
  McaTransport& Link;
  AcquisitionState& Acquisition;
  SpectrumRecord& Working;
  DisplayState& Display;
  const McaSetup& Setup;
};

// Asked after a fresh status block, with the working counts of this tick,
// whether the run must end for precision (may keep its own progress).
using PrecisionCheck = std::function<bool()>;

McaTickResult McaStep(const McaTickRecords& records, const PrecisionCheck& precisionReached = {});

// Real time less the dead time of `eventCount` events, truncated toward 0.
int32_t liveTimeOf(int32_t realTime, int32_t eventCount, float deadTimePerEvent);

}  // namespace tolvane
