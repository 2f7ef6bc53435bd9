#include "acquisition/mapping_tick.h"

#include "acquisition/view_from_status.h"
#include "records/shared_records.h"
#include "records/spectrum_record.h"

namespace tolvane {

MappingTickResult MappingStep(McaTransport& link, AcquisitionState& a, SpectrumRecord& working, DisplayState& display,
                              const ScanSetup& scan) {
  MappingTickResult result;
  result.Status = ReadStatus(link, a);
  if (result.Status != LinkOutcome::Done) {
    result.Outcome = MappingTickOutcome::StatusMissed;
    return result;
  }
  if (a.Status.scanDone() != 0) {
    ++a.ScanCount;
    const float previousRate = a.CountRate;
    result.Spectrum = ReadSpectrum(link, a, working);
    if (result.Spectrum == SpectrumRead::Complete) {
      result.Outcome = MappingTickOutcome::PassRead;
      // kcps over the dwell of one pass; a dwell of 0 has no rate.
      a.CountRate =
          scan.PresetTime > 0
              ? static_cast<float>(static_cast<double>(a.CountRate) / static_cast<double>(scan.PresetTime) * 0.01)
              : 0.0f;
    } else {
      // The transfer holds blocks of the pass before: no rate from a stale
      // total.
      result.Outcome = MappingTickOutcome::PassLost;
      a.CountRate = previousRate;
    }
  }
  TakeViewFromStatus(a.Status, display, false);
  return result;
}

}  // namespace tolvane
