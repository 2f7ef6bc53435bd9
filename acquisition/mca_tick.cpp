// One polling step of an MCA acquisition: fetch the spectrum and the status
// block, take over the analyser's view, end the run at the preset time, and
// turn the counters into count rate, live time and dead time.
//
// Float fields are stored as 32-bit floats between steps; each product or
// difference is formed in double and rounded when stored, so the printed
// digits match single-precision arithmetic.
#include <cmath>

#include "acquisition/precision_stop.h"
#include "acquisition/run_control.h"
#include "acquisition/view_from_status.h"
#include "app/session.h"
#include "device/mca_commands.h"
#include "handlers/plot_handlers.h"

namespace tolvane {

namespace {

int32_t liveTimeOf(int32_t realTime, int32_t eventCount, float deadTimePerEvent) {
  const double live =
      static_cast<double>(realTime) - static_cast<double>(eventCount) * static_cast<double>(deadTimePerEvent) * 0.00001;
  return static_cast<int32_t>(std::trunc(live));
}

}  // namespace

void McaTick(Session& s) {
  AcquisitionState& a = s.Acquisition;
  a.PrevRealSeconds = a.RealSeconds;
  a.PrevTotal = a.Total;

  s.Timer1.Enabled = false;
  const float previousRate = a.CountRate;
  // Leaves the count total in CountRate when every block arrived.
  const bool totalRead = ReadSpectrumBlocks(s) == SpectrumRead::Complete;
  s.Timer1.Enabled = true;

  if (ReadStatus(s, 0) == 1) {
    TakeViewFromStatus(s, true);
    const bool presetReached = a.Status.realTimeTicks() / 10 >= s.Mca.PresetTime;
    if (presetReached || PrecisionReached(s)) {
      s.Timer1.Enabled = false;
      ReadSpectrum(s, 0);
      NoteRunEnd(s, presetReached ? StopReason::Preset : StopReason::Precision);
      StopAcquisition(s, 0);
      a.Running = 0;
      // A stop that failed on the link has already said so; the run is
      // over either way and the timer stays off.
      s.Timer1.Enabled = false;
      a.RealTime = a.Status.realTimeTicks() / 10;
      a.LiveTime = liveTimeOf(a.RealTime, a.Status.eventCount(), s.Mca.DeadTimePerEvent);
      // A precision stop keeps the real time it reached.
      if (presetReached) a.RealTime = s.Mca.PresetTime;
      PaintBox1Paint(s);
      return;
    }
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
  a.LiveTime = liveTimeOf(a.RealTime, status.eventCount(), s.Mca.DeadTimePerEvent);
  a.DeadTimePerMille =
      static_cast<int32_t>(std::trunc(static_cast<double>(a.CountRate) * static_cast<double>(s.Mca.DeadTimePerEvent)));
  PaintBox1Paint(s);
}

}  // namespace tolvane
