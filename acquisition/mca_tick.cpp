// Float fields are stored as 32-bit floats between steps; each product or
// difference is formed in double and rounded when stored, so the printed
// digits match single-precision arithmetic.
#include "acquisition/mca_tick.h"

#include <cmath>

#include "acquisition/view_from_status.h"
#include "records/shared_records.h"
#include "records/spectrum_record.h"

namespace tolvane {

int32_t liveTimeOf(int32_t realTime, int32_t eventCount, float deadTimePerEvent) {
  const double live =
      static_cast<double>(realTime) - static_cast<double>(eventCount) * static_cast<double>(deadTimePerEvent) * 0.00001;
  return static_cast<int32_t>(std::trunc(live));
}

McaTickResult McaStep(const McaTickRecords& r, const PrecisionCheck& precisionReached) {
  AcquisitionState& a = r.Acquisition;
  McaTickResult result;
  a.PrevRealSeconds = a.RealSeconds;
  a.PrevTotal = a.Total;

  const float previousRate = a.CountRate;
  // The analyser's real time as last read (at the last tick, or at the Stop
  // before this run), not the shown one, which a file or memory may have set.
  const int32_t realTimeBefore = a.Status.realTimeTicks() / 10;
  // Leaves the count total in CountRate when every block arrived.
  result.Spectrum = ReadSpectrum(r.Link, a, r.Working);
  const bool totalRead = result.Spectrum == SpectrumRead::Complete;

  result.Status = ReadStatus(r.Link, a);
  if (result.Status == LinkOutcome::Done) {
    TakeViewFromStatus(a.Status, r.Display, true);
    const bool presetReached = a.Status.realTimeTicks() / 10 >= r.Setup.PresetTime;
    if (presetReached || (precisionReached && precisionReached())) {
      result.Outcome = presetReached ? McaTickOutcome::PresetReached : McaTickOutcome::PrecisionReached;
      result.FinalSpectrum = ReadSpectrum(r.Link, a, r.Working);
      result.Stop = StopAcquisition(r.Link, a);
      a.Running = 0;  // the run is over whatever the analyser answered
      a.RealTime = a.Status.realTimeTicks() / 10;
      a.LiveTime = liveTimeOf(a.RealTime, a.Status.eventCount(), r.Setup.DeadTimePerEvent);
      // The final real time shows exactly the preset, where the analyser
      // stops. A precision stop keeps the real time it reached, and so does
      // a run that had already counted past the preset before this tick
      // (the preset lowered after a stop or during the run): the preset
      // would claim less time than the counts took, and less than the live
      // time.
      const bool endsAtPreset = presetReached && realTimeBefore < r.Setup.PresetTime;
      a.EndedAtPreset = endsAtPreset ? r.Setup.PresetTime : 0;
      if (endsAtPreset) a.RealTime = r.Setup.PresetTime;
      return result;
    }
  } else {
    result.Outcome = McaTickOutcome::StatusMissed;
  }

  const DeviceStatus& status = a.Status;  // the previous block if this read failed
  if (totalRead) {
    a.RealSeconds = static_cast<float>(static_cast<double>(status.realTimeTicks()) * 0.01);
    a.Total = a.CountRate;
    a.CountRate = static_cast<float>(static_cast<double>(a.Total) - static_cast<double>(a.PrevTotal));
    a.IntervalSeconds = static_cast<float>(static_cast<double>(a.RealSeconds) - static_cast<double>(a.PrevRealSeconds));
    if (a.IntervalSeconds > 0)
      a.CountRate =
          static_cast<float>(static_cast<double>(a.CountRate) / static_cast<double>(a.IntervalSeconds) * 0.001);
    if (!(a.CountRate >= 0)) a.CountRate = 0.0f;
  } else {
    // No new total (CountRate still holds the last rate, or a total with
    // stale blocks in it): keep the last rate, and keep the last total and
    // its time so the next good tick spans both intervals.
    a.CountRate = previousRate;
  }
  a.RealTime = status.realTimeTicks() / 10;
  a.LiveTime = liveTimeOf(a.RealTime, status.eventCount(), r.Setup.DeadTimePerEvent);
  a.DeadTimePerMille = static_cast<int32_t>(
      std::trunc(static_cast<double>(a.CountRate) * static_cast<double>(r.Setup.DeadTimePerEvent)));
  return result;
}

}  // namespace tolvane
