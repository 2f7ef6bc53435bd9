#include "app/session.h"
#include "display/view_controls.h"
#include "handlers/plot_handlers.h"
#include "handlers/view_labels.h"

namespace tolvane {

void InitialiseState(Session& s) {
  s.MnFit = MnFitState{};
  s.Acquisition.DeviceCount = 0;
  s.Acquisition.DeviceOpen = 0;
  s.Acquisition.Running = 0;
  s.Acquisition.Mode = 1;
  s.Calibration = EnergyCalibration{};
  s.StandardsLoaded = 0;
  s.Display.SnapshotShown = s.Display.Mem1Shown = s.Display.Mem2Shown = s.Display.Mem3Shown = false;
  s.Display.TextBackColour = kBlack;
  s.Display.CaptionColour = kWhite;
  s.Display.TraceColour = kLime;

  s.Timer1.Enabled = false;
  s.Timer1.IntervalMs = 100;

  s.Acquisition.ChannelCount = 4096;
  s.Acquisition.BlockChannels = 128;
  s.Display.FirstShown = 0;
  s.Display.LastShown = 4095;
  s.Display.FullScaleIndex = 2;
  s.Display.Cursor = 2048;

  s.Scan = ScanSetup{2048, 10, s.Timer1.IntervalMs, {}};
  s.Mca.ChannelCount = s.Acquisition.ChannelCount;
  s.Mca.PresetTime = 10000;
  s.Acquisition.PresetTime = 10000;
  s.Mca.DeadTimePerEvent = 1.8f;
  s.Acquisition.DeadTimePerMille = 0;

  // A ramp in every slot, so the plot shows a diagonal before any data.
  for (int i = 0; i < SpectrumRecord::kMemoryCapacity; ++i) {
    s.Working.Counts[static_cast<size_t>(i)] = i;
    for (auto& memory : s.Memories) memory.Counts[static_cast<size_t>(i)] = i;
  }

  for (auto& roi : s.Rois.Entries) {
    roi.Defined = 0;
    roi.Shown = 0;
    roi.ElementLabel = {'X', 'x', '-', 'N', 'N', '\0'};
    roi.Colour = kBlack;
  }

  DrawLogFrame(s, true);
  // The view the plot shows, in the labels and in the kept status block
  // the mouse reads once the analyser is open: the first click lands on
  // the channel under the pointer.
  keepViewInStatus(s);
  ShowViewLabels(s);
}

}  // namespace tolvane
