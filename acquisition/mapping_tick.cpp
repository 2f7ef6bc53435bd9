// One polling step of a mapping scan: count each pass the analyser reports,
// fetch its spectrum (and save it when a file was chosen), take over the
// analyser's view, and draw the analyser's own preview.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>

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

std::string labelText(const std::array<char, 32>& field) {
  return std::string(field.data(), strnlen(field.data(), field.size()));
}

// The file the pass numbered `number` goes to. A file that appeared since
// the scan started (or a save path changed during the scan) moves the
// numbering on past it: a pass never replaces an existing file.
std::string passPathFor(Session& s, int64_t& number) {
  PassFiles& passes = s.Passes;
  std::string path = passFilePath(passes.SavePath, number, passes.Digits);
  std::error_code error;
  if (passes.SavePath != s.Scan.SavePath || std::filesystem::exists(std::filesystem::symlink_status(path, error))) {
    passes.SavePath = s.Scan.SavePath;
    number = std::max(number, highestPassFile(passes.SavePath) + 1);
    passes.Digits = std::max(passes.Digits, passFileDigits(number));
    passes.NextNumber = number + 1;
    path = passFilePath(passes.SavePath, number, passes.Digits);
  }
  return path;
}

// Writes the pass just fetched as a spectrum file of its own, stamped with
// the time the pass ended. Its header starts from the MCA slot's, not from
// whatever file was read last; its times are the dwell of one pass, its
// live time that less the dead time of the counts the pass recorded, and it
// carries the calibration and ROIs in force.
void savePass(Session& s, const std::string& path) {
  const int n = std::clamp(s.Acquisition.ChannelCount, 0, s.Working.capacity());
  uint64_t total = 0;
  for (int c = 0; c < n; ++c) total += static_cast<uint32_t>(s.Working.Counts[static_cast<size_t>(c)]);
  SpectrumFileHeader header = s.AcquisitionTemplate;
  fillHeaderForWrite(s, header, n);
  // The labels the user gave acquisitions in the MCA setup, not those of
  // a file read since.
  header.setComment(labelText(s.Mca.Comment));
  header.setSampleId(labelText(s.Mca.SampleId));
  const LocalDateTime now = s.LocalTime();
  header.setStartTime({static_cast<int16_t>(now.Year), static_cast<int16_t>(now.Month), static_cast<int16_t>(now.Day),
                       static_cast<int16_t>(now.Hour), static_cast<int16_t>(now.Minute),
                       static_cast<int16_t>(now.Second)});
  const int32_t dwell = s.Scan.PresetTime;
  header.setPresetTime(dwell);
  header.setRealTime(dwell);
  header.setLiveTime(static_cast<int32_t>(
      std::trunc(static_cast<double>(dwell) -
                 static_cast<double>(total) * static_cast<double>(s.Mca.DeadTimePerEvent) * 0.00001)));
  if (!writeSpectrumImage(path, header, s.Working.Counts.data(), n)) {
    ++s.Passes.UnsavedPasses;
    s.Texts.Edit1 = "Cannot save " + fileNameOf(path);  // the scan goes on
  }
}

// Fetches the spectrum of the pass just reported and saves it. A pass whose
// transfer did not complete holds blocks of the pass before it: it is
// counted as lost, not saved, and its rate is not formed from a stale total.
void takePass(Session& s) {
  AcquisitionState& a = s.Acquisition;
  const float previousRate = a.CountRate;
  const SpectrumRead read = ReadSpectrumBlocks(s);
  const bool saving = !s.Scan.SavePath.empty();
  int64_t number = s.Passes.NextNumber++;
  if (read != SpectrumRead::Complete) {
    a.CountRate = previousRate;
    ++s.Passes.LostPasses;
    s.Texts.Edit1 = "Pass " + std::to_string(a.ScanCount) + (saving ? " not saved" : " lost") + ": transfer failed";
    return;
  }
  // kcps over the dwell of one pass; a dwell of 0 has no rate.
  a.CountRate =
      s.Scan.PresetTime > 0
          ? static_cast<float>(static_cast<double>(a.CountRate) / static_cast<double>(s.Scan.PresetTime) * 0.01)
          : 0.0f;
  if (!saving) return;
  const std::string path = passPathFor(s, number);
  // Past the last number a pass would get a name no later scan sees as
  // taken: it is not saved.
  if (number > kLastPassNumber) {
    s.Texts.Edit1 = kPassNumbersUsedUpText + lastPassFileName(s.Passes.SavePath);
    return;
  }
  savePass(s, path);
}

}  // namespace

void MappingTick(Session& s) {
  AcquisitionState& a = s.Acquisition;
  if (ReadStatus(s, 0) == 1) {
    if (a.Status.scanDone() != 0) {
      s.Timer1.Enabled = false;
      ++a.ScanCount;
      s.Texts.Edit4 = std::to_string(a.ScanCount);
      takePass(s);
      s.Timer1.Enabled = true;
    }
    TakeViewFromStatus(s, false);
    s.Texts.Label7.assign(1, ' ');  // a single blank
  }
  // Drawn from this block, or from the previous one when the read failed.
  buildMappingPreview(s, s.Plot);
  if (s.Painter) s.Painter->drawMappingPreview(s.Plot);
}

}  // namespace tolvane
