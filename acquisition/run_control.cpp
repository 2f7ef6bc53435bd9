#include "acquisition/run_control.h"

#include "app/session.h"
#include "device/ftdi_api.h"
#include "device/mca_commands.h"
#include "device/mca_open_click.h"
#include "handlers/plot_handlers.h"

namespace tolvane {

void McaStartClick(Session& s) {
  s.McaSlotHeader.reset();  // a new run: the slot's header starts again from the template
  s.Working.Header = s.AcquisitionTemplate;
  const LocalDateTime now = s.LocalTime();
  s.Working.Header.setStartTime({static_cast<int16_t>(now.Year), static_cast<int16_t>(now.Month),
                                 static_cast<int16_t>(now.Day), static_cast<int16_t>(now.Hour),
                                 static_cast<int16_t>(now.Minute), static_cast<int16_t>(now.Second)});
  s.Working.setName("MCA");
  OpenDeviceIfUnlisted(s);
  // A scan setup leaves its dwell in the analyser, which has one preset for
  // both modes: the run would stop counting there while the plot shows the
  // MCA preset and the run never reaches it.
  const int32_t sent = s.Acquisition.AnalyserPresetTime;
  if (sent != 0 && sent != s.Mca.PresetTime && SendCommand(s, presetFrame(s.Mca.PresetTime)) == CommandResult::Accepted)
    s.Acquisition.AnalyserPresetTime = s.Mca.PresetTime;
  StartAcquisition(s, 0);
  DrawLogFrame(s, true);
  PaintBox1Paint(s);
}

void McaStopClick(Session& s) {
  StopAcquisition(s, 0);
  PaintBox1Paint(s);
}

void McaClearClick(Session& s) {
  ClearSpectrum(s, 0);
  PaintBox1Paint(s);
}

void Timer1Timer(Session& s) {
  if (s.Acquisition.Mode == 1)
    McaTick(s);
  else if (s.Acquisition.Mode == 0)
    MappingTick(s);
  // An unplugged analyser fails every exchange at once; say so rather than
  // leave the user looking at a spectrum that no longer changes.
  if (s.api().lastProblem().problem == LinkProblem::Disconnected) s.Texts.Edit1 = kDisconnectedText;
}

}  // namespace tolvane
