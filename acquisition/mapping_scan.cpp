#include "acquisition/mapping_scan.h"

#include "app/session.h"
#include "app/text_number.h"
#include "device/mca_commands.h"
#include "device/mca_open_click.h"
#include "files/path_name.h"
#include "handlers/plot_handlers.h"

namespace tolvane {

namespace {

// The analyser keeps one preset for both modes: a scan after an MCA setup
// would otherwise dwell for the MCA preset while the plot shows the scan's.
void sendScanPreset(Session& s) {
  if (s.Acquisition.AnalyserPresetTime == s.Scan.PresetTime) return;
  if (SendCommand(s, presetFrame(s.Scan.PresetTime)) == CommandResult::Accepted)
    s.Acquisition.AnalyserPresetTime = s.Scan.PresetTime;
}

// Numbers this scan's pass files on from the highest one already there.
void planScanPassFiles(Session& s) {
  PassFiles& passes = s.Passes;
  passes = PassFiles{};
  passes.SavePath = s.Scan.SavePath;
  passes.Digits = passFileDigits(s.Scan.PlannedPasses);
  if (passes.SavePath.empty()) return;
  const PassFilePlan plan = planPassFiles(passes.SavePath, s.Scan.PlannedPasses);
  passes.NextNumber = plan.firstNumber;
  passes.Digits = plan.digits;
  if (plan.error == PassPlanError::NoFolder)
    s.Texts.Edit1 = "Cannot save passes: no folder " + folderOf(passes.SavePath);
  else if (plan.error == PassPlanError::NotAFolder)
    s.Texts.Edit1 = "Cannot save passes: not a folder " + folderOf(passes.SavePath);
  else if (plan.error == PassPlanError::NumbersUsedUp)
    s.Texts.Edit1 = kPassNumbersUsedUpText + lastPassFileName(passes.SavePath);
  else
    s.Texts.Edit1 = "Passes saved from " + fileNameOf(passFilePath(passes.SavePath, plan.firstNumber, plan.digits));
}

}  // namespace

void ZorvStartClick(Session& s) {
  if (s.Acquisition.Running == 1 && s.Acquisition.Mode == 1) {
    s.Texts.Edit1 = kScanWhileMcaRunsText;
    return;
  }
  OpenDeviceIfUnlisted(s);
  sendScanPreset(s);
  StartScan(s, 0);
  if (s.Acquisition.Running == 1) planScanPassFiles(s);
  DrawLogFrame(s, true);
}

void ZorvStopClick(Session& s) {
  if (s.Acquisition.Running != 1) return;
  StopAcquisition(s, 0);
  // The plot leaves the analyser's preview: it shows the spectrum again,
  // with its name where the preview said the scan was running.
  if (s.Acquisition.Running == 0) PaintBox1Paint(s);
}

void ZorvClearClick(Session& s) {
  ClearScan(s, 0);
  s.Texts.Edit4 = std::to_string(s.Acquisition.ScanCount);
  PaintBox1Paint(s);
}

ScanSetupFields LoadScanSetupFields(Session& s) {
  ScanSetup& scan = s.Scan;
  if (scan.MemorySize > 2048) scan.MemorySize = 2048;
  ScanSetupFields f;
  if (scan.MemorySize == 512 || scan.MemorySize == 1024 || scan.MemorySize == 2048) f.MemorySize = scan.MemorySize;
  f.ZORVPreSetTime = std::to_string(scan.PresetTime);
  f.DispRefTimer = std::to_string(scan.RefreshInterval);
  if (!scan.SavePath.empty()) f.Edit3 = f.SavePath = scan.SavePath;
  return f;
}

bool StoreScanSetupFields(Session& s, const ScanSetupFields& f) {
  ScanSetup& scan = s.Scan;
  bool taken = true;
  for (int size : {512, 1024, 2048})
    if (f.MemorySize == size) scan.MemorySize = size;
  if (const auto dwell = parseInteger(f.ZORVPreSetTime)) {
    scan.PresetTime = *dwell;
  } else {
    s.Texts.Edit1 = kDwellError;
    taken = false;
  }
  if (const auto interval = parseInteger(f.DispRefTimer); interval && *interval > 0) {
    scan.RefreshInterval = *interval;
  } else {
    s.Texts.Edit1 = kRefreshError;
    taken = false;
  }
  scan.SavePath = f.SavePath;
  return taken;
}

void Button7Click(Session& s, const std::function<bool(ScanSetupFields&)>& runDialog) {
  if (s.Acquisition.ChannelCount > 2048) s.Scan.MemorySize = s.Acquisition.ChannelCount = 2048;
  ScanSetupFields fields = LoadScanSetupFields(s);
  if (!runDialog(fields)) return;
  const bool taken = StoreScanSetupFields(s, fields);
  const std::string refusal = s.Texts.Edit1;
  SetPresetTime(s, 0, s.Scan.PresetTime);
  // A refused field keeps its message: the frame text would hide that the
  // old value was sent instead of the typed one.
  if (!taken) s.Texts.Edit1 = refusal;
  if (SetMemorySize(s, 0, s.Scan.MemorySize) == 1) s.Acquisition.ChannelCount = s.Scan.MemorySize;
  s.Timer1.IntervalMs = s.Scan.RefreshInterval;
  PaintBox1Paint(s);
}

}  // namespace tolvane
