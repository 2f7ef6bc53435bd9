#pragma once
// The engine half of the mapping page: send a scan setup to the analyser,
// start a scan with the scan's own preset, and plan where its passes go.
#include "acquisition/pass_files.h"
#include "device/mca_commands.h"

namespace tolvane {

struct AcquisitionState;
struct PassFiles;
struct ScanSetup;

struct ScanSetupSent {
  LinkOutcome Preset = LinkOutcome::Done;      // "$P" with the dwell
  LinkOutcome MemorySize = LinkOutcome::Done;  // "$M"; the channel count follows when accepted
};

// Sends the scan's dwell and memory size, in that order.
ScanSetupSent SendScanSetup(McaTransport& link, AcquisitionState& acquisition, const ScanSetup& scan);

// Sends the scan's dwell when the analyser holds another preset (an MCA
// setup leaves its own there, and the analyser keeps one for both modes),
// then "$CX;" when the analyser has counted since its memory was last
// cleared, then "$X;". A clear that is not acknowledged starts nothing and
// its outcome is returned (PassMemoryUsed stays set).
LinkOutcome StartScanRun(McaTransport& link, AcquisitionState& acquisition, const ScanSetup& scan);

// Numbers this scan's pass files on from the highest one already beside
// the chosen file; resets the counts of lost and unsaved passes.
PassFilePlan PlanScanPassFiles(PassFiles& passes, const ScanSetup& scan);

}  // namespace tolvane
