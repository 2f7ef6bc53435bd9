// One polling step of a mapping scan: count each pass the analyser reports,
// fetch its spectrum, and take over the analyser's view.
#include "acquisition/run_control.h"
#include "acquisition/view_from_status.h"
#include "app/session.h"
#include "device/mca_commands.h"

namespace tolvane {

void MappingTick(Session& s) {
  AcquisitionState& a = s.Acquisition;
  if (ReadStatus(s, 0) != 1) return;
  if (a.Status.scanDone() != 0) {
    s.Timer1.Enabled = false;
    ++a.ScanCount;
    s.Texts.Edit4 = std::to_string(a.ScanCount);
    ReadSpectrum(s, 0);
    // kcps over the dwell of one pass; a dwell of 0 has no rate.
    a.CountRate = s.Scan.PresetTime > 0 ? static_cast<float>(static_cast<double>(a.CountRate) /
                                                             static_cast<double>(s.Scan.PresetTime) * 0.01)
                                        : 0.0f;
    s.Timer1.Enabled = true;
  }
  TakeViewFromStatus(s, false);
  s.Texts.Label7.assign(1, ' ');  // a single blank
}

}  // namespace tolvane
