#include "xfit/xfit_commands.h"

#include <algorithm>

#include "files/spectrum_file.h"

namespace tolvane {

bool registerStandard(StandardTable& table, const RoiTable& rois, int r, const std::string& spectrumName) {
  if (r < 0 || r >= StandardTable::kRecords || r >= RoiTable::kEntries) return false;
  const RoiEntry& roi = rois.Entries[static_cast<size_t>(r)];
  StandardRecord& record = table.Records[static_cast<size_t>(r)];
  record.setInUse(1);
  record.setFitLowCh(roi.LowChannel);
  record.setFitHighCh(roi.HighChannel);
  record.setElemName(roi.ElementLabel.data());
  record.setSpecFile(spectrumName);
  return true;
}

void setRoisFromTable(RoiTable& rois, const StandardTable& table, int32_t count) {
  const int32_t n = std::min<int32_t>(count, std::min(StandardTable::kRecords, RoiTable::kEntries));
  for (int i = 0; i < n; ++i) {
    const StandardRecord& record = table.Records[static_cast<size_t>(i)];
    RoiEntry& roi = rois.Entries[static_cast<size_t>(i)];
    roi.LowChannel = record.fitLowCh();
    roi.HighChannel = record.fitHighCh();
    roi.ElementLabel.fill('\0');
    const std::string name = record.elemName().substr(0, roi.ElementLabel.size() - 1);
    std::copy(name.begin(), name.end(), roi.ElementLabel.begin());
    roi.Defined = 1;
    roi.Shown = 0;
    roi.Colour = kBlue;
    rois.SelectedRoi = i;
  }
}

void takeSample(XfitWorkspace& fit, const int32_t* counts, int32_t channels) {
  // The working arrays hold 4096 channels: a longer sample is cut to them.
  const int32_t n = std::clamp(channels, 0, kFitChannels);
  std::copy_n(counts, n, fit.SampleCounts.begin());
  std::fill(fit.SampleCounts.begin() + n, fit.SampleCounts.end(), 0);
  fit.SampleChannels = n;
}

bool liveTimesDiffer(const TDmVQRN& module, int32_t liveTime) {
  const XfitWorkspace& fit = module.Fit;
  for (int k = 0; k < fit.FitCount; ++k) {
    const SpectrumFileRead standard =
        readSpectrumPath(module.Table.Folder + fit.SelectedCopy[static_cast<size_t>(k)].specFile(),
                         SpectrumReadRule::Standard);
    if (standard.ok() && standard.header.liveTime() != liveTime) return true;
  }
  return false;
}

}  // namespace tolvane
