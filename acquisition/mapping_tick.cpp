// One polling step of a mapping scan: count each pass the analyser reports,
// fetch its spectrum (and save it when a file was chosen), take over the
// analyser's view, and draw the analyser's own preview.
#include <algorithm>
#include <cmath>

#include "acquisition/mapping_scan.h"
#include "acquisition/run_control.h"
#include "acquisition/view_from_status.h"
#include "app/session.h"
#include "device/mca_commands.h"
#include "display/plot_model.h"
#include "display/plot_painter.h"
#include "files/path_name.h"
#include "files/spectrum_file.h"

namespace tolvane {

namespace {

// Writes the pass just fetched as a spectrum file of its own. Its times are
// the dwell of one pass; its live time is that less the dead time of the
// counts the pass recorded.
void savePass(Session& s) {
  const int n = std::clamp(s.Acquisition.ChannelCount, 0, s.Working.capacity());
  uint64_t total = 0;
  for (int c = 0; c < n; ++c) total += static_cast<uint32_t>(s.Working.Counts[static_cast<size_t>(c)]);
  SpectrumFileHeader header = s.Working.Header;
  fillHeaderForWrite(s, header, n);
  const int32_t dwell = s.Scan.PresetTime;
  header.setPresetTime(dwell);
  header.setRealTime(dwell);
  header.setLiveTime(static_cast<int32_t>(
      std::trunc(static_cast<double>(dwell) -
                 static_cast<double>(total) * static_cast<double>(s.Mca.DeadTimePerEvent) * 0.00001)));
  const std::string path = passFilePath(s.Scan.SavePath, s.Acquisition.ScanCount);
  if (!writeSpectrumImage(path, header, s.Working.Counts.data(), n))
    s.Texts.Edit1 = "Cannot save " + fileNameOf(path);  // the scan goes on
}

}  // namespace

void MappingTick(Session& s) {
  AcquisitionState& a = s.Acquisition;
  if (ReadStatus(s, 0) == 1) {
    if (a.Status.scanDone() != 0) {
      s.Timer1.Enabled = false;
      ++a.ScanCount;
      s.Texts.Edit4 = std::to_string(a.ScanCount);
      ReadSpectrum(s, 0);
      if (!s.Scan.SavePath.empty()) savePass(s);
      // kcps over the dwell of one pass; a dwell of 0 has no rate.
      a.CountRate =
          s.Scan.PresetTime > 0
              ? static_cast<float>(static_cast<double>(a.CountRate) / static_cast<double>(s.Scan.PresetTime) * 0.01)
              : 0.0f;
      s.Timer1.Enabled = true;
    }
    TakeViewFromStatus(s, false);
    s.Texts.Label7.assign(1, ' ');  // a single blank
  }
  // Drawn from this block, or from the previous one when the read failed.
  buildMappingPreview(s);
  if (s.Painter) s.Painter->drawMappingPreview(s);
}

}  // namespace tolvane
