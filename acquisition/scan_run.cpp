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
  // A dwell the analyser did not take starts no scan: its passes would
  // last the MCA preset while their files claim the dwell.
  if (a.AnalyserPresetTime != scan.PresetTime)
    if (const LinkOutcome preset = SetPresetTime(link, a, scan.PresetTime); preset != LinkOutcome::Done) return preset;
  // "$X;" does not empty the pass memory: the counts of an aborted pass or
  // of an MCA run would be added to the first pass, whose file then claims
  // one dwell for them. "$CX;" empties it first; the working spectrum
  // keeps what it shows until the first pass arrives.
  if (a.PassMemoryUsed) {
    const LinkOutcome cleared = SendCommand(link, "$CX;");
    if (cleared != LinkOutcome::Done) return cleared;
    a.PassMemoryUsed = false;
  }
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
