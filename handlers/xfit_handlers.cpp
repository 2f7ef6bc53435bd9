#include "handlers/xfit_handlers.h"

#include <cstdio>

#include "app/session.h"
#include "handlers/plot_handlers.h"
#include "xfit/standards_load.h"
#include "xfit/xfit_commands.h"

namespace tolvane {

// Nothing is checked and nothing is shown: an ROI outside the table
// registers nothing.
void AddStdClick(Session& s) {
  (void)registerStandard(s.DataModule.Table, s.Rois, s.Rois.SelectedRoi, s.Working.Name);
}

void LoadStdClick(Session& s, const std::string& tablePath) {
  const StandardsLoad load = LoadStandardTable(s.DataModule, tablePath);
  s.Texts.Edit1 = standardsLoadStatus(load);
  if (!load.loaded()) return;
  s.StandardsLoaded = 1;
  setRoisFromTable(s.Rois, s.DataModule.Table, load.count);
}

void MLSQfitClick(Session& s, const std::function<std::string()>& chooseTable, const std::function<bool()>& runEditor) {
  XfitWorkspace& fit = s.DataModule.Fit;
  takeSample(fit, s.Working.Counts.data(), s.Acquisition.ChannelCount);
  const bool loaded = s.StandardsLoaded == 1;
  const FitOutcome outcome = RunMlsqFit(s.DataModule, loaded, loaded ? std::string() : chooseTable());
  s.XfitQuality = outcome == FitOutcome::Fitted
                      ? assessFit(fit, fit.FitCoefficients, fit.FitErrors, fit.SampleCounts.data(), fit.SampleChannels)
                      : FitQuality{};
  if (outcome == FitOutcome::Fitted && liveTimesDiffer(s.DataModule, s.Acquisition.LiveTime))
    s.Texts.Edit1 = kLiveTimesDifferText;
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
