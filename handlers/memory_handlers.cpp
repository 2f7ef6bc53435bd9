#include "handlers/memory_handlers.h"

#include "acquisition/view_from_status.h"
#include "app/session.h"
#include "device/mca_commands.h"
#include "display/memory_slots.h"
#include "handlers/plot_handlers.h"

#include "handlers/mca_handlers.h"

namespace tolvane {

void MemSpecClick(Session& s, int memory) {
  if (!showMemory(s, memory)) return;
  s.Display.ReadoutsFromSpectrum = true;
  PaintBox1Paint(s);
}

void McaMemClick(Session& s) {
  showMcaSlot(s);
  s.Display.ReadoutsFromSpectrum = false;
  if (s.Acquisition.DeviceOpen == 1) {
    // A block that did not come keeps what it showed; the status read
    // below tells whether the analyser answers at all.
    (void)ReadSpectrum(s.Transport, s.Acquisition, s.Working);
    if (ReadStatus(s.Transport, s.Acquisition) == LinkOutcome::Done) {
      TakeViewFromStatus(s.Acquisition.Status, s.Display, true);
      ShowAnalyserView(s.Texts, s.Acquisition.Status);
      takeRunEndTimes(s);
    }
  }
  PaintBox1Paint(s);
}

void OverLapONClick(Session& s) {
  (void)toggleOverlay(s, s.Plot);  // the plot shows what changed
  PaintBox1Paint(s);
}

}  // namespace tolvane
