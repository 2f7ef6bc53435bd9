#include "acquisition/scan_run.h"

#include "records/shared_records.h"

namespace tolvane {

ScanSetupSent SendScanSetup(McaTransport& link, AcquisitionState& a, const ScanSetup& scan) {
  ScanSetupSent sent;
  sent.Preset = SetPresetTime(link, a, scan.PresetTime);
  sent.MemorySize = SetMemorySize(link, scan.MemorySize);
  if (sent.MemorySize == LinkOutcome::Done) a.ChannelCount = scan.MemorySize;
  return sent;
}

LinkOutcome StartScanRun(McaTransport& link, AcquisitionState& a, const ScanSetup& scan) {
  if (a.AnalyserPresetTime != scan.PresetTime) SetPresetTime(link, a, scan.PresetTime);
  return StartScan(link, a);
}

PassFilePlan PlanScanPassFiles(PassFiles& passes, const ScanSetup& scan) {
  passes = PassFiles{};
  passes.SavePath = scan.SavePath;
  passes.Digits = passFileDigits(scan.PlannedPasses);
  if (passes.SavePath.empty()) return {};
  const PassFilePlan plan = planPassFiles(passes.SavePath, scan.PlannedPasses);
  passes.NextNumber = plan.firstNumber;
  passes.Digits = plan.digits;
  return plan;
}

}  // namespace tolvane
