#include "handlers/analysis_handlers.h"

#include <algorithm>
#include <cstdio>

#include "app/session.h"
#include "handlers/plot_handlers.h"
#include "display/plot_geometry.h"
#include "display/plot_mapping.h"
#include "display/vfs_ladder.h"
#include "handlers/view_labels.h"

namespace tolvane {

namespace {

const char* calibrationEntryError(CalibrationEntry::Outcome outcome) {
  switch (outcome) {
    case CalibrationEntry::Outcome::LowChannelNotNumber:
      return kCalibLowChError;
    case CalibrationEntry::Outcome::HighChannelNotNumber:
      return kCalibHighChError;
    case CalibrationEntry::Outcome::LowEnergyNotNumber:
      return kCalibLowEngError;
    case CalibrationEntry::Outcome::HighEnergyNotNumber:
      return kCalibHighEngError;
    case CalibrationEntry::Outcome::SameChannel:
      return kCalibSameChError;
    case CalibrationEntry::Outcome::Computed:
      break;
  }
  return nullptr;
}

std::string formatted(const char* format, float value) {
  char text[48];
  std::snprintf(text, sizeof text, format, static_cast<double>(value));
  return text;
}

// The four curves go into the top rows of the Mem1, Mem2, Mem3 and
// snapshot envelopes, which the plot draws while the overlay is shown.
void showOverlay(Session& s, const MnFitOverlay& overlay) {
  PlotModel& plot = s.Plot;
  std::copy(overlay.kAlpha1.begin(), overlay.kAlpha1.end(), plot.Mem1.top.begin());
  std::copy(overlay.kAlpha2.begin(), overlay.kAlpha2.end(), plot.Mem2.top.begin());
  std::copy(overlay.sum.begin(), overlay.sum.end(), plot.Mem3.top.begin());
  std::copy(overlay.residual.begin(), overlay.residual.end(), plot.Snapshot.top.begin());
}

}  // namespace

void EngCalibClick(Session& s) {
  const CalibrationPageFields& page = s.CalibrationPage;
  const CalibrationEntry entry = calibrationFromTexts(page.LowCh, page.HiCh, page.LoEng, page.HiEng);
  if (entry.outcome != CalibrationEntry::Outcome::Computed) {
    s.Texts.Edit1 = calibrationEntryError(entry.outcome);  // the old calibration stays
    return;
  }
  storeCalibration(s.Calibration, entry.line, page.ChKev);
  ShowCursorEnergy(s);
}

void LowChChange(Session& s, const std::string& text) {
  s.CalibrationPage.LowCh = text;
  if (!isChannelText(text)) s.Texts.Edit1 = kTypedLowChError;
}

void HiChChange(Session& s, const std::string& text) {
  s.CalibrationPage.HiCh = text;
  if (!isChannelText(text)) s.Texts.Edit1 = kTypedHiChError;
}

void FWHMClick(Session& s) {
  const FwhmResult r = measureFwhm(workingSpectrum(s), s.Display.Cursor, s.Display.FirstShown, s.Display.LastShown);
  switch (r.outcome) {
    case FwhmResult::Outcome::NoPeak:
      s.Texts.Edit1 = kNoPeakText;
      return;
    case FwhmResult::Outcome::PeakAtViewEdge:
      s.Texts.Edit1 = kPeakAtEdgeText;
      return;
    case FwhmResult::Outcome::Measured:
      break;
  }
  s.Texts.Edit1 = formatted("Peak %8.2f Ch.", r.centroid);
  s.Texts.FwhmVal = formatted("%8.2f ch", r.fwhm);
}

void MnKaFitClick(Session& s) {
  MnFitState& state = s.MnFit;
  if (state.OverlayShown == 1) {
    state.OverlayShown = 0;
    PaintBox1Paint(s);
    return;
  }
  const SpectrumView y = workingSpectrum(s);
  const DisplayState& d = s.Display;
  const MnFitResult r = fitMnKAlpha(y, d.Cursor, d.FirstShown, d.LastShown, state.KAlpha1Energy, state.KAlpha2Energy);
  if (r.outcome != MnFitResult::Outcome::Fitted) {
    s.Texts.Edit1 = r.outcome == MnFitResult::Outcome::NoPeak ? kNoPeakText : kPeakAtEdgeText;
    return;
  }
  s.Texts.Edit1 = formatted("%8.2f Ch.", r.centroid);
  s.Texts.FwhmVal = formatted("%8.2f eV", r.fwhmEv);
  recordMnFit(state, r);
  const OverlayFrame frame{kPlotWidth,   kPlotHeight, vfsFullScale(d.FullScaleIndex),
                           d.FirstShown, d.LastShown, kTopmostRow};
  showOverlay(s, mnFitOverlay(y, r, frame));
  state.OverlayShown = 1;
  PaintBox1Paint(s);
}

}  // namespace tolvane
