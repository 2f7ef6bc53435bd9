// Text typed into the window's number fields: the calibration page, the
// ROI page, the MCA and mapping setup dialogs and the wt% edits. Nothing
// stores a value that is not finite, and labels stay inside their fields.
#include <cmath>
#include <string>

#include "handlers/scan_setup_handlers.h"
#include "handlers/mca_setup_handlers.h"
#include "analysis/energy_calibration.h"
#include "app/session.h"
#include "records/text_number.h"
#include "device/clock.h"
#include "device/sim/sim_ftdi.h"
#include "roi/roi_page.h"
#include "xfit/standards_editor.h"

using namespace tolvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (const auto real = parseReal(text); real && !std::isfinite(*real)) __builtin_trap();
  parseInteger(text);

  static ManualClock clock;
  static SimFtdi bridge(clock);
  static Session s(bridge, clock);
  const size_t cut = size / 2;
  const CalibrationEntry entry = calibrationFromTexts(text.substr(0, cut), text.substr(cut), "1", text);
  if (entry.outcome == CalibrationEntry::Outcome::Computed) storeCalibration(s.Calibration, entry.line, text);
  if (!std::isfinite(s.Calibration.Gain) || !std::isfinite(s.Calibration.Offset)) __builtin_trap();
  if (s.Calibration.UnitText.back() != '\0') __builtin_trap();

  const RoiSettings roi{parseInteger(text.substr(0, cut)), parseInteger(text.substr(cut)), text, kBlue};
  switchRoi(s.Rois, static_cast<int>(size % 18) - 1, true, roi);
  for (const RoiEntry& roi : s.Rois.Entries)
    if (roi.ElementLabel[7] != '\0') __builtin_trap();

  McaSetupFields mca = LoadSetupFields(s);
  mca.PresetRT = text;
  mca.DeadTime = text.substr(cut);
  mca.SpcLabel1 = text;
  (void)StoreSetupFields(s, mca);  // taken or refused, the fields must stay sound
  if (!std::isfinite(s.Mca.DeadTimePerEvent) || s.Mca.Comment[31] != '\0') __builtin_trap();

  ScanSetupFields scan = LoadScanSetupFields(s);
  scan.ZORVPreSetTime = text;
  scan.DispRefTimer = text.substr(cut);
  (void)StoreScanSetupFields(s, scan);  // taken or refused, the fields must stay sound
  if (s.Scan.RefreshInterval <= 0) __builtin_trap();

  StdWtperChange(s.DataModule.Table, static_cast<int>(size % 16), text);
  for (const StandardRecord& r : s.DataModule.Table.Records)
    if (std::isnan(r.cf())) __builtin_trap();
  return 0;
}
