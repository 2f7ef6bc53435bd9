#include "acquisition/mca_stop.h"

#include "acquisition/view_from_status.h"
#include "records/shared_records.h"

namespace tolvane {

McaStopResult StopMcaRun(const McaTickRecords& r) {
  AcquisitionState& a = r.Acquisition;
  // After a stop that got no answer the analyser may have counted on:
  // an acknowledged stop now takes its final counts too.
  const bool counting = (a.Running != 0 || a.StopUnconfirmed) && a.Mode == 1;
  McaStopResult result;
  result.Stop = StopAcquisition(r.Link, a);
  if (!counting || result.Stop != LinkOutcome::Done) return result;

  result.FinalRead = true;
  // The read leaves the count total in CountRate; the rate shown stays the
  // last one measured.
  const float rate = a.CountRate;
  result.FinalSpectrum = ReadSpectrum(r.Link, a, r.Working);
  a.CountRate = rate;
  result.FinalStatus = ReadStatus(r.Link, a);
  if (result.FinalStatus == LinkOutcome::Done) {
    TakeViewFromStatus(a.Status, r.Display, true);  // as a polling step does
    a.RealTime = a.Status.realTimeTicks() / 10;
    a.LiveTime = liveTimeOf(a.RealTime, a.Status.eventCount(), r.Setup.DeadTimePerEvent);
  }
  return result;
}

}  // namespace tolvane
