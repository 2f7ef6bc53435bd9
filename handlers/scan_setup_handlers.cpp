#include "handlers/scan_setup_handlers.h"

#include "app/session.h"
#include "records/text_number.h"

namespace tolvane {

ScanSetupFields LoadScanSetupFields(Session& s) {
  ScanSetup& scan = s.Scan;
  if (scan.MemorySize > 2048) scan.MemorySize = 2048;
  ScanSetupFields f;
  if (scan.MemorySize == 512 || scan.MemorySize == 1024 || scan.MemorySize == 2048) f.MemorySize = scan.MemorySize;
  f.ZORVPreSetTime = std::to_string(scan.PresetTime);
  f.DispRefTimer = std::to_string(scan.RefreshInterval);
  if (!scan.SavePath.empty()) f.Edit3 = f.SavePath = scan.SavePath;
  f.ElementMapON = scan.MapOn;
  f.XMapSize = std::to_string(scan.MapWidth);
  f.YMapSize = std::to_string(scan.MapHeight);
  f.MapROI = scan.MapRois;
  f.ScanSkipOption = scan.SkipBlank;
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
  scan.MapOn = f.ElementMapON;
  scan.MapRois = f.MapROI;
  scan.SkipBlank = f.ScanSkipOption;
  const auto x = parseInteger(f.XMapSize), y = parseInteger(f.YMapSize);
  if (x && y && *x >= 1 && *x <= 4096 && *y >= 1 && *y <= 4096) {
    scan.MapWidth = *x;
    scan.MapHeight = *y;
  } else {
    s.Texts.Edit1 = kMapSizeError;
    taken = false;
  }
  return taken;
}

}  // namespace tolvane
