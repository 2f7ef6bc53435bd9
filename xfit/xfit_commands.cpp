#include "xfit/xfit_commands.h"

#include <algorithm>
#include <cstdio>

#include "app/session.h"
#include "display/plot_calls.h"
#include "files/spectrum_file.h"

namespace tolvane {

void AddStdClick(Session& s) {
  const int r = s.Rois.SelectedRoi;
  if (r < 0 || r >= StandardTable::kRecords) return;
  const RoiEntry& roi = s.Rois.Entries[static_cast<size_t>(r)];
  StandardRecord& record = s.DataModule.Table.Records[static_cast<size_t>(r)];
  record.setInUse(1);
  record.setFitLowCh(roi.LowChannel);
  record.setFitHighCh(roi.HighChannel);
  record.setElemName(roi.ElementLabel.data());
  record.setSpecFile(s.Working.Name);
}

void LoadStdClick(Session& s, const std::string& tablePath) {
  const int32_t count = LoadStandardTable(s.DataModule, tablePath);
  s.Texts.Edit1 = std::to_string(count);
  if (count == 0) return;
  s.StandardsLoaded = 1;
  for (int i = 0; i < count; ++i) {
    const StandardRecord& record = s.DataModule.Table.Records[static_cast<size_t>(i)];
    RoiEntry& roi = s.Rois.Entries[static_cast<size_t>(i)];
    roi.LowChannel = record.fitLowCh();
    roi.HighChannel = record.fitHighCh();
    roi.ElementLabel.fill('\0');
    const std::string name = record.elemName().substr(0, roi.ElementLabel.size() - 1);
    std::copy(name.begin(), name.end(), roi.ElementLabel.begin());
    roi.Defined = 1;
    roi.Shown = 0;
    roi.Colour = kBlue;
    s.Rois.SelectedRoi = i;
  }
}

namespace {

// Whether a standard in use was counted for another live time than the
// shown sample: its K-ratio is then a count ratio, not a concentration ratio.
bool liveTimesDiffer(const Session& s) {
  const XfitWorkspace& fit = s.DataModule.Fit;
  for (int k = 0; k < fit.FitCount; ++k) {
    const SpectrumFileRead standard =
        readSpectrumPath(s.DataModule.Table.Folder + fit.SelectedCopy[static_cast<size_t>(k)].specFile());
    if (standard.ok() && standard.header.liveTime() != s.Acquisition.LiveTime) return true;
  }
  return false;
}

}  // namespace

void MLSQfitClick(Session& s, const std::function<std::string()>& chooseTable, const std::function<bool()>& runEditor) {
  XfitWorkspace& fit = s.DataModule.Fit;
  // The working arrays hold 4096 channels: a longer sample is cut to them.
  const int32_t n = std::clamp(s.Acquisition.ChannelCount, 0, kFitChannels);
  std::copy_n(s.Working.Counts.begin(), n, fit.SampleCounts.begin());
  std::fill(fit.SampleCounts.begin() + n, fit.SampleCounts.end(), 0);
  fit.SampleChannels = n;
  const bool loaded = s.StandardsLoaded == 1;
  const FitOutcome outcome = RunMlsqFit(s.DataModule, loaded, loaded ? std::string() : chooseTable());
  s.XfitQuality = outcome == FitOutcome::Fitted
                      ? assessFit(fit, fit.FitCoefficients, fit.FitErrors, fit.SampleCounts.data(), fit.SampleChannels)
                      : FitQuality{};
  if (outcome == FitOutcome::Fitted && liveTimesDiffer(s)) s.Texts.Edit1 = kLiveTimesDifferText;
  if (outcome == FitOutcome::Singular) s.Texts.Edit1 = kSingularText;
  if (outcome == FitOutcome::NoSample) s.Texts.Edit1 = kNoSampleText;
  if (runEditor()) PaintBox1Paint(s);
}

void EditStdClick(Session& s, const std::function<bool()>& runEditor) {
  if (runEditor()) PaintBox1Paint(s);
}

void Edit1Click(Session& s) {
  const LocalDateTime t = s.LocalTime();
  char text[40];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second);
  s.Texts.Edit1 = text;
}

}  // namespace tolvane
