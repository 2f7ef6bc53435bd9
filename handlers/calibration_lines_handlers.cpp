#include "handlers/calibration_lines_handlers.h"

#include <algorithm>
#include <cstdio>

#include "analysis/calibration_unit.h"
#include "app/session.h"
#include "handlers/view_labels.h"

namespace tolvane {

namespace {

std::string formatted(const char* format, double value) {
  char text[48];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

bool CalibFromLinesClick(Session& s, const std::string& lineList, bool quadratic) {
  s.LinesCalibration.LineList = lineList;
  s.LinesCalibration.Quadratic = quadratic;
  const KnownLineList list = parseKnownLines(lineList, s.Lines.resolution());
  if (!list.error.empty()) {
    s.Texts.Edit1 = "Calib: " + list.error;
    return false;
  }
  if (list.lines.empty()) {
    s.Texts.Edit1 = "Calib: no lines given";
    return false;
  }
  const CalibrationCheck start = lineCalibration(s);
  if (start.error) {
    s.Texts.Edit1 = std::string("Calib: ") + linesCalibrationOutcomeText(LinesCalibration::Outcome::NoStartingCalibration);
    return false;
  }
  const int32_t size = std::clamp(s.Acquisition.ChannelCount, 0, s.Working.capacity());
  LinesCalibration result =
      calibrateFromLines(s.Working.Counts.data(), size, start.scale, list.lines, quadratic, s.Lines.resolution());
  if (result.outcome != LinesCalibration::Outcome::Fitted) {
    s.Texts.Edit1 = std::string("Calib: ") + linesCalibrationOutcomeText(result.outcome);
    s.LinesCalibration.Last = std::move(result);
    return false;
  }
  // The unit stays the one the spectrum was calibrated in.
  const bool inEv =
      calibrationUnit(s.Calibration.Gain, s.Calibration.Offset, s.Acquisition.ChannelCount) == CalibrationUnit::EV;
  s.LinesCalibration.Undo.push_back(s.Calibration);
  storeFittedCalibration(s.Calibration, result.fit, inEv);
  s.Texts.Edit1 = "Calib: " + calibrationSummary(result);
  s.LinesCalibration.Last = std::move(result);
  ShowCursorEnergy(s);
  return true;
}

bool CalibUndoClick(Session& s) {
  if (s.LinesCalibration.Undo.empty()) {
    s.Texts.Edit1 = kNothingToUndoText;
    return false;
  }
  s.Calibration = s.LinesCalibration.Undo.back();
  s.LinesCalibration.Undo.pop_back();
  s.LinesCalibration.Last.reset();
  s.Texts.Edit1 = "Calib: the calibration before is back";
  ShowCursorEnergy(s);
  return true;
}

std::vector<CalibrationTableRow> calibrationTable(const LinesCalibration& r) {
  std::vector<CalibrationTableRow> rows;
  size_t fitted = 0;
  for (const LineCentroid& c : r.centroids) {
    CalibrationTableRow row;
    row[0] = c.line.label;
    row[2] = formatted("%.4f", c.line.energyKev);
    if (!c.found) {
      row[5] = "not found";
    } else {
      row[1] = formatted("%.2f", c.channel);
      if (fitted < r.fit.points.size()) {
        const FittedPoint& p = r.fit.points[fitted++];
        row[3] = formatted("%.4f", p.fitted);
        row[4] = formatted("%+.1f", p.residualEv);
        if (p.flagged) row[5] = "does not fit";
      }
    }
    rows.push_back(row);
  }
  return rows;
}

std::string calibrationSummary(const LinesCalibration& r) {
  std::string text = std::to_string(r.fit.points.size()) + " lines, RMS " + formatted("%.1f", r.fit.rmsEv) + " eV";
  const int flagged = r.fit.flaggedCount();
  if (flagged > 0) text += "; " + std::to_string(flagged) + (flagged == 1 ? " does not fit" : " do not fit");
  const auto missing = std::count_if(r.centroids.begin(), r.centroids.end(), [](const LineCentroid& c) { return !c.found; });
  if (missing > 0) text += "; " + std::to_string(missing) + " not found";
  return text;
}

}  // namespace tolvane
