#include "acquisition/mca_start.h"

#include "app/session.h"

namespace tolvane {

void PrepareMcaRun(Session& s) {
  s.McaSlotHeader.reset();  // a new run: the slot's header starts again from the template
  s.Working.Header = s.AcquisitionTemplate;
  const LocalDateTime now = s.LocalTime();
  s.Working.Header.setStartTime({static_cast<int16_t>(now.Year), static_cast<int16_t>(now.Month),
                                 static_cast<int16_t>(now.Day), static_cast<int16_t>(now.Hour),
                                 static_cast<int16_t>(now.Minute), static_cast<int16_t>(now.Second)});
  s.Working.setName("MCA");
  // The run's preset is the one shown and written, not that of a file read
  // or a scan's dwell since the setup.
  s.Acquisition.PresetTime = s.Mca.PresetTime;
  s.Acquisition.EndedAtPreset = 0;
  s.Display.ReadoutsFromSpectrum = false;  // the readouts follow the run again
}

void ForgetRunTimes(AcquisitionState& a) {
  a.RealTime = a.LiveTime = a.DeadTimePerMille = 0;
  a.RealSeconds = a.PrevRealSeconds = a.IntervalSeconds = 0.0f;
  a.Total = a.PrevTotal = a.CountRate = 0.0f;
  a.EndedAtPreset = 0;
  a.Status.clearCounters();
}

LinkOutcome StartMcaRun(Session& s) {
  // The analyser has one preset for both modes: a run would stop counting
  // at a scan's dwell while the plot shows the MCA preset. A preset the
  // analyser did not take starts no run.
  const int32_t sent = s.Acquisition.AnalyserPresetTime;
  if (sent != 0 && sent != s.Mca.PresetTime)
    if (const LinkOutcome preset = SetPresetTime(s.Transport, s.Acquisition, s.Mca.PresetTime);
        preset != LinkOutcome::Done)
      return preset;
  return StartAcquisition(s.Transport, s.Acquisition);
}

}  // namespace tolvane
