#include "handlers/lines_handlers.h"

#include <algorithm>
#include <cmath>

#include <cstdio>

#include "analysis/fwhm.h"
#include "analysis/spectrum_view.h"
#include "app/session.h"
#include "handlers/plot_handlers.h"
#include "lines/pileup_peaks.h"

namespace tolvane {

namespace {

// Whether the status field holds a message checkLines put there.
bool isLinesMessage(const std::string& text) {
  if (text.rfind(kLinesUnknownText, 0) == 0) return true;
  for (const CalibrationError e :
       {CalibrationError::NotCalibrated, CalibrationError::NotIncreasing, CalibrationError::NotFinite})
    if (text == calibrationErrorText(e)) return true;
  return false;
}

// Says why markers cannot be drawn, or which words name no element. Once
// the field is right again its own message goes; another's stays.
void checkLines(Session& s) {
  std::vector<std::string> unknown;
  parseElementList(s.Lines.Elements, &unknown);
  if (!unknown.empty()) {
    s.Texts.Edit1 = kLinesUnknownText + unknown.front();
    return;
  }
  const CalibrationCheck check = lineCalibration(s);
  if (s.Lines.Shown && check.error)
    s.Texts.Edit1 = calibrationErrorText(*check.error);
  else if (isLinesMessage(s.Texts.Edit1))
    s.Texts.Edit1.clear();
}

}  // namespace

void LinesTextChange(Session& s, const std::string& text) {
  s.Lines.Elements = text;
  checkLines(s);
  PaintBox1Paint(s);
}

void LinesOnClick(Session& s, bool on) {
  s.Lines.Shown = on;
  checkLines(s);
  PaintBox1Paint(s);
}

void IdentifyClick(Session& s) {
  const CalibrationCheck check = lineCalibration(s);
  if (check.error) {
    s.Texts.Edit1 = calibrationErrorText(*check.error);
    s.Lines.IdentifyDetails.clear();
    return;
  }
  // The "Lines" field's elements and those the last peak search proposed rank first.
  std::vector<int> present = parseElementList(s.Lines.Elements);
  for (int z : s.Lines.LastPeaks.identification.elements)
    if (std::find(present.begin(), present.end(), z) == present.end()) present.push_back(z);
  const CursorIdentification id =
      identifyAtEnergy(check.scale.energy(s.Display.Cursor), s.Lines.resolution(), s.Lines.MaxKev, present);
  s.Texts.Edit1 = identifyText(id);
  s.Lines.IdentifyDetails = identifyDetails(id);
  // A sum or escape peak of the last peak search's strongest peaks here.
  if (s.Lines.LastPeaks.error || s.Lines.LastPeaks.identification.peaks.empty()) return;
  for (const ArtefactPeak& a : artefactPeaks(parentPeaks(s.Lines.LastPeaks.identification),
                                             s.Acquisition.LiveTime / 10.0, spectrumTopKev(s, check.scale))) {
    if (std::fabs(a.energyKev - id.energyKev) > id.fwhmKev) continue;
    char text[160];
    if (a.expectedCounts < 0.0)
      std::snprintf(text, sizeof text, "\n%s peak %s (%.3f)", a.kind == ArtefactPeak::Kind::Sum ? "sum" : "escape",
                    a.label.c_str(), a.energyKev);
    else
      std::snprintf(text, sizeof text, "\n%s peak %s (%.3f), %.0f counts expected",
                    a.kind == ArtefactPeak::Kind::Sum ? "sum" : "escape", a.label.c_str(), a.energyKev,
                    a.expectedCounts);
    s.Lines.IdentifyDetails += text;
    s.Texts.Edit1 += std::string(" | ") + (a.kind == ArtefactPeak::Kind::Sum ? "sum " : "") + a.label;
  }
}

void PeakSearchClick(Session& s) {
  s.Lines.LastPeaks = {};
  const CalibrationCheck check = lineCalibration(s);
  if (check.error) {
    s.Texts.Edit1 = calibrationErrorText(*check.error);
    return;
  }
  s.Lines.LastPeaks = spectrumPeaks(s, check.scale, s.Lines.MaxKev, {}, s.Lines.resolution());
  if (s.Lines.LastPeaks.error) {
    s.Texts.Edit1 = kLinesEmptySpectrumText;
    return;
  }
  const Identification& id = s.Lines.LastPeaks.identification;
  std::string text = std::to_string(id.peaks.size()) + " peaks:";
  for (int z : id.elements) text += " " + elementSymbol(z);
  s.Texts.Edit1 = text;
}

void UseProposedElements(Session& s) {
  std::string text;
  for (int z : s.Lines.LastPeaks.identification.elements) text += (text.empty() ? "" : " ") + elementSymbol(z);
  s.Lines.Elements = text;
  s.Lines.Shown = true;
  checkLines(s);
  PaintBox1Paint(s);
}

void NoteMeasuredFwhm(Session& s) {
  const CalibrationCheck check = lineCalibration(s);
  if (check.error) return;
  const FwhmResult r = measureFwhm(workingSpectrum(s), s.Display.Cursor, s.Display.FirstShown, s.Display.LastShown);
  if (r.outcome != FwhmResult::Outcome::Measured || !(r.fwhm > 0.0f)) return;
  // The measured width runs one channel short of the crossings' distance.
  const double fwhmKev = (static_cast<double>(r.fwhm) + 1.0) * check.scale.slope(r.centroid);
  const double atKev = check.scale.energy(r.centroid);
  if (fwhmKev > 0.02 && fwhmKev < 2.0 && atKev > 0.1) {
    s.Lines.MeasuredFwhmKev = fwhmKev;
    s.Lines.MeasuredAtKev = atKev;
  }
}

}  // namespace tolvane
