#include "handlers/mapping_handlers.h"

#include "acquisition/map_run.h"
#include "acquisition/mapping_tick.h"
#include "acquisition/mca_start.h"
#include "acquisition/pass_keeping.h"
#include "acquisition/scan_run.h"
#include "acquisition/view_from_status.h"
#include "app/session.h"
#include "device/mca_commands.h"
#include "handlers/plot_handlers.h"
#include "display/plot_model.h"
#include "display/plot_painter.h"
#include "files/path_name.h"
#include "handlers/mca_handlers.h"

namespace tolvane {

namespace {

// Says where this scan's passes go, or why they cannot be saved.
void showPassPlan(Session& s, const PassFilePlan& plan) {
  const PassFiles& passes = s.Passes;
  if (passes.SavePath.empty()) return;
  if (plan.error == PassPlanError::NoFolder)
    s.Texts.Edit1 = "Cannot save passes: no folder " + folderOf(passes.SavePath);
  else if (plan.error == PassPlanError::NotAFolder)
    s.Texts.Edit1 = "Cannot save passes: not a folder " + folderOf(passes.SavePath);
  else if (plan.error == PassPlanError::NumbersUsedUp)
    s.Texts.Edit1 = kPassNumbersUsedUpText + lastPassFileName(passes.SavePath);
  else
    s.Texts.Edit1 = "Passes saved from " + fileNameOf(passFilePath(passes.SavePath, plan.firstNumber, plan.digits));
}

// Says in the status field why a pass was not saved; the scan goes on.
void showKeptPass(Session& s, const KeptPass& kept) {
  switch (kept.Outcome) {
    case PassKeep::NotSaving:
    case PassKeep::Saved:
      return;
    case PassKeep::Lost:
      s.Texts.Edit1 = "Pass " + std::to_string(s.Acquisition.ScanCount) +
                      (s.Scan.SavePath.empty() ? " lost" : " not saved") + ": transfer failed";
      return;
    case PassKeep::NumbersUsedUp:
      s.Texts.Edit1 = kPassNumbersUsedUpText + lastPassFileName(s.Passes.SavePath);
      return;
    case PassKeep::WriteFailed:
      s.Texts.Edit1 = "Cannot save " + fileNameOf(kept.Path);
      return;
  }
}

// Says why a pass is missing from the map or its file; the scan goes on.
void showMapPass(Session& s, const MapPassResult& kept) {
  if (kept.Outcome == MapPassKeep::FileFailed) s.Texts.Edit1 = "Map file: " + s.Mapping.FileError;
}

// A map is named after its scan's first pass file (NAME_0001.nxs beside
// NAME_0001.dat), so each scan gets its own and none is replaced.
void nameMapFile(Session& s, const PassFilePlan& plan) {
  s.Scan.ImagePath.clear();
  if (s.Scan.SavePath.empty() || plan.error != PassPlanError::None) return;
  const std::string firstPass = passFilePath(s.Scan.SavePath, plan.firstNumber, plan.digits);
  s.Scan.ImagePath = firstPass.substr(0, firstPass.size() - 4) + ".nxs";
}

}  // namespace

// Start of a scan also ends an MCA run that is counting: "$X;" puts the
// analyser into mapping mode.
void ZorvStartClick(Session& s) {
  OpenDeviceIfUnlisted(s);
  // A map that cannot be built starts no scan.
  if (const std::string refusal = mapRefusal(s); !refusal.empty()) {
    s.Texts.Edit1 = refusal;
    return;
  }
  if (s.Scan.MapOn) s.Scan.PlannedPasses = int64_t{s.Scan.MapWidth} * s.Scan.MapHeight;
  s.Display.ReadoutsFromSpectrum = false;
  const LinkOutcome start = StartScanRun(s.Transport, s.Acquisition, s.Scan);
  if (start == LinkOutcome::Done) {
    s.Timer1.IntervalMs = s.Scan.RefreshInterval;
    s.Timer1.Enabled = true;
  } else if (s.Acquisition.PassMemoryUsed) {
    s.Texts.Edit1 = kPassMemoryNotClearedText;
  }
  if (s.Acquisition.Running == 1) {
    const PassFilePlan plan = PlanScanPassFiles(s.Passes, s.Scan);
    showPassPlan(s, plan);
    if (s.Scan.MapOn) nameMapFile(s, plan);
    if (const std::string refusal = BeginMap(s); !refusal.empty()) {
      // The map's refusal is what the status field shows; Running says
      // whether the stop took.
      (void)StopAcquisition(s.Transport, s.Acquisition);
      if (s.Acquisition.Running == 0) s.Timer1.Enabled = false;
      s.Texts.Edit1 = refusal;
    }
  }
  DrawLogFrame(s, true);
}

void ZorvStopClick(Session& s) {
  // After a stop that got no answer the analyser may still be scanning.
  if (s.Acquisition.Running != 1 && !s.Acquisition.StopUnconfirmed) return;
  const bool retried = s.Acquisition.StopUnconfirmed;
  ShowStopOutcome(s, StopAcquisition(s.Transport, s.Acquisition), retried);
  if (s.Acquisition.Running == 0) EndMap(s.Mapping);
  // The plot leaves the analyser's preview: it shows the spectrum again,
  // with its name where the preview said the scan was running, and its
  // cursor mark where the cursor label has shown the analyser's cursor.
  if (s.Acquisition.Running == 0) {
    TakeViewFromStatus(s.Acquisition.Status, s.Display, true);
    PaintBox1Paint(s);
  }
}

void ZorvClearClick(Session& s) {
  const bool scanning = s.Acquisition.Running;
  // As on the MCA page: a cleared spectrum that is not counting keeps no
  // times of the pass it held.
  if (ClearScan(s.Transport, s.Acquisition, s.Working) == LinkOutcome::Done && !scanning) ForgetRunTimes(s.Acquisition);
  s.Texts.Edit4 = std::to_string(s.Acquisition.ScanCount);
  PaintBox1Paint(s);
}

void Button7Click(Session& s, const std::function<bool(ScanSetupFields&)>& runDialog) {
  ScanSetupFields fields = OpenScanSetup(s);
  if (runDialog(fields)) ApplyScanSetup(s, fields);
}

ScanSetupFields OpenScanSetup(Session& s) {
  if (s.Acquisition.ChannelCount > 2048) s.Scan.MemorySize = s.Acquisition.ChannelCount = 2048;
  return LoadScanSetupFields(s);
}

void ApplyScanSetup(Session& s, const ScanSetupFields& fields) {
  const bool taken = StoreScanSetupFields(s, fields);
  const std::string refusal = s.Texts.Edit1;
  // The frame is shown whether or not the analyser answers.
  s.Texts.Edit1 = presetFrame(s.Scan.PresetTime);
  (void)SetPresetTime(s.Transport, s.Acquisition, s.Scan.PresetTime);  // a dwell not taken is sent again at the start
  // A refused field keeps its message: the frame text would hide that the
  // old value was sent instead of the typed one.
  if (!taken) s.Texts.Edit1 = refusal;
  if (SetMemorySize(s.Transport, s.Scan.MemorySize) == LinkOutcome::Done)
    s.Acquisition.ChannelCount = s.Scan.MemorySize;
  s.Timer1.IntervalMs = s.Scan.RefreshInterval;
  PaintBox1Paint(s);
}

void MappingTick(Session& s) {
  AcquisitionState& a = s.Acquisition;
  const MappingTickResult tick = MappingStep(s.Transport, a, s.Working, s.Display, s.Scan);
  if (tick.passCounted()) {
    s.Texts.Edit4 = std::to_string(a.ScanCount);
    showKeptPass(s, KeepPass(s, tick.Outcome));
    const MapPassResult mapped = AddMapPass(s, tick.Outcome);
    showMapPass(s, mapped);
    // The timer was off around the transfer only.
    s.Timer1.Enabled = true;
    if (mapped.Complete) {
      // The map's last pixel: the scan ends itself.
      ZorvStopClick(s);
      if (s.Acquisition.Running == 0)
        s.Texts.Edit1 = "Map done: " + std::to_string(s.Mapping.Setup.width) + " x " +
                        std::to_string(s.Mapping.Setup.height) + " pixels";
      return;
    }
  }
  if (tick.Status == LinkOutcome::Done) {
    ShowAnalyserView(s.Texts, a.Status);
    s.Texts.Label7.assign(1, ' ');  // a single blank
  }
  // Drawn from this block, or from the previous one when the read failed.
  buildMappingPreview(s, s.Plot);
  if (s.Painter) s.Painter->drawMappingPreview(s.Plot);
}

}  // namespace tolvane
