#include "acquisition/mapping_scan.h"

#include <cstdio>

#include "app/session.h"
#include "app/text_number.h"
#include "device/mca_commands.h"
#include "device/mca_open_click.h"
#include "display/plot_calls.h"
#include "files/path_name.h"

namespace tolvane {

void ZorvStartClick(Session& s) {
  OpenDeviceIfUnlisted(s);
  StartScan(s, 0);
  DrawLogFrame(s, true);
}

void ZorvStopClick(Session& s) {
  if (s.Acquisition.Running == 1) StopAcquisition(s, 0);
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

void StoreScanSetupFields(Session& s, const ScanSetupFields& f) {
  ScanSetup& scan = s.Scan;
  for (int size : {512, 1024, 2048})
    if (f.MemorySize == size) scan.MemorySize = size;
  if (const auto dwell = parseInteger(f.ZORVPreSetTime))
    scan.PresetTime = *dwell;
  else
    s.Texts.Edit1 = kDwellError;
  if (const auto interval = parseInteger(f.DispRefTimer); interval && *interval > 0)
    scan.RefreshInterval = *interval;
  else
    s.Texts.Edit1 = kRefreshError;
  scan.SavePath = f.SavePath;
}

void Button7Click(Session& s, const std::function<bool(ScanSetupFields&)>& runDialog) {
  if (s.Acquisition.ChannelCount > 2048) s.Scan.MemorySize = s.Acquisition.ChannelCount = 2048;
  ScanSetupFields fields = LoadScanSetupFields(s);
  if (!runDialog(fields)) return;
  StoreScanSetupFields(s, fields);
  SetPresetTime(s, 0, s.Scan.PresetTime);
  if (SetMemorySize(s, 0, s.Scan.MemorySize) == 1) s.Acquisition.ChannelCount = s.Scan.MemorySize;
  s.Timer1.IntervalMs = s.Scan.RefreshInterval;
  PaintBox1Paint(s);
}

std::string passFilePath(const std::string& chosen, int pass) {
  std::string stem = chosen;
  const size_t dot = stem.find_last_of('.');
  if (dot != std::string::npos && dot > stem.size() - fileNameOf(stem).size()) stem.erase(dot);
  char suffix[24];
  std::snprintf(suffix, sizeof suffix, "_%04d.dat", pass);
  return stem + suffix;
}

}  // namespace tolvane
