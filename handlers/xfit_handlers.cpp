#include "handlers/xfit_handlers.h"

#include <cstdio>

#include "app/session.h"
#include "handlers/plot_handlers.h"
#include "quant/table_conditions.h"
#include "xfit/fit_quantification.h"
#include "xfit/standards_check.h"
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
  loadFitQuantConditions(s.FitQuant, tablePath);
}

void MLSQfitClick(Session& s, const std::function<std::string()>& chooseTable, const std::function<bool()>& runEditor) {
  XfitWorkspace& fit = s.DataModule.Fit;
  takeSample(fit, s.Working.Counts.data(), s.Acquisition.ChannelCount);
  const bool loaded = s.StandardsLoaded == 1;
  const std::string tablePath = loaded ? std::string() : chooseTable();
  const FitOutcome outcome = RunMlsqFit(s.DataModule, loaded, tablePath);
  if (!loaded && fit.FitCount > 0) loadFitQuantConditions(s.FitQuant, tablePath);
  s.XfitQuality = outcome == FitOutcome::Fitted
                      ? assessFit(fit, fit.FitCoefficients, fit.FitErrors, fit.SampleCounts.data(), fit.SampleChannels)
                      : FitQuality{};
  if (outcome == FitOutcome::Fitted && liveTimesDiffer(s.DataModule, s.Acquisition.LiveTime))
    s.Texts.Edit1 = kLiveTimesDifferText;
  if (outcome == FitOutcome::Singular) s.Texts.Edit1 = kSingularText;
  if (outcome == FitOutcome::NoSample) s.Texts.Edit1 = kNoSampleText;
  // The editor that follows shows the fit's wt% by fundamental parameters
  // beside the Cf column.
  s.FitQuant.Last = {};
  if (outcome == FitOutcome::Fitted && s.FitQuant.ConditionsError.empty()) quantifyLastFit(s);
  if (runEditor()) PaintBox1Paint(s);
}

void quantifyLastFit(Session& s) {
  s.FitQuant.Last = quantifyFit(s.DataModule, s.Acquisition.LiveTime, loadedStandards(s.DataModule), s.FitQuant.Conditions);
}

void QuantClick(Session& s) {
  FitQuantState& q = s.FitQuant;
  q.Last = {};
  if (!s.XfitQuality.valid) {
    q.Last.error = "no fit: run MLSQ Fit first";
  } else if (!q.ConditionsError.empty()) {
    q.Last.error = q.ConditionsError;
  } else {
    quantifyLastFit(s);
  }
  if (!q.Last.result) {
    s.Texts.Edit1 = "Quant: " + q.Last.error;
    return;
  }
  char text[64];
  std::snprintf(text, sizeof text, "Quant: total %.2f wt%%%s", q.Last.result->total * 100.0,
                q.Last.result->converged ? "" : ", not converged");
  s.Texts.Edit1 = text;
}

void TableSavedAs(Session& s, const std::string& path) {
  FitQuantState& q = s.FitQuant;
  if (q.TablePath.empty() || !q.ConditionsError.empty() || path == q.TablePath) return;
  std::string error;
  if (!saveTableConditions(path, q.Conditions, &error)) {
    s.Texts.Edit1 = "Quant: cannot write " + conditionsPathFor(path) + ": " + error;
    return;
  }
  q.TablePath = path;
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
