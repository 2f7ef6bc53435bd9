// tolvane-cli resolution: the detector's FWHM at Mn K-alpha from a
// least-squares fit of the K-alpha doublet on a linear background.
#include <cstdio>

#include "analysis/resolution_fit.h"
#include "cli/cli_common.h"
#include "cli/file_session.h"
#include "cli/json_text.h"

namespace tolvane::cli {

namespace {

const char* outcomeText(ResolutionFitOutcome outcome) {
  switch (outcome) {
    case ResolutionFitOutcome::NoPeak:
      return "no peak near the cursor";
    case ResolutionFitOutcome::TooFewChannels:
      return "too few channels around the peak";
    case ResolutionFitOutcome::NotConverged:
      return "the fit did not converge";
    case ResolutionFitOutcome::NotMnKAlpha:
      return "the calibration puts the cursor far from Mn K-alpha (5.9 keV): place it on the Mn K-alpha peak";
    case ResolutionFitOutcome::Fitted:
      break;
  }
  return "";
}

// Without --cursor: the channel of 5.9 keV when the file is calibrated,
// else the highest count (Mn K-alpha is the strongest line of an Fe-55
// spectrum).
int32_t defaultCursor(const Session& s) {
  const ResolutionFitInput probe = resolutionInput(s, 0);
  int32_t best = 0;
  for (int32_t c = 1; c < probe.channels; ++c)
    if (probe.counts[c] > probe.counts[best]) best = c;
  const EnergyCalibration& cal = s.Calibration;
  if (cal.Valid == 1 && cal.Gain > 0) {
    const double scale = cal.Gain < 1.0f ? 1000.0 : 1.0;  // keV or eV per channel
    const double channel = (kResolutionKAlpha1Ev / scale - cal.Offset) / cal.Gain;
    if (channel >= 0 && channel < probe.channels && resolutionInput(s, static_cast<int32_t>(channel)).evPerChannel > 0)
      return static_cast<int32_t>(channel);
  }
  return best;
}

}  // namespace

int runResolution(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Detector resolution: FWHM at 5.9 keV from a least-squares fit of Mn K-alpha1/K-alpha2\n"
      "(11 eV apart, 2:1) on a linear background; FWHM and its error in eV, centroid in channels.");
  parser.addPositionalArgument("file", "Spectrum file (.dat).");
  parser.addOption({"cursor", "A channel on or next to the Mn K-alpha peak (default: found).", "channel"});
  parser.addOption({"json", "Print one JSON object."});
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  if (!expectPositionals(parser, 1, 1, "FILE.dat [--cursor C] [--json]")) return kExitUsage;
  const bool json = parser.isSet("json");
  FileSession f;
  Session& s = f.session;
  if (!readSpectrum(s, parser.positionalArguments().front().toStdString())) return kExitFailure;
  int32_t cursor = 0;
  if (parser.isSet("cursor")) {
    const auto chosen = integerOption(parser, "cursor", 0, s.Acquisition.ChannelCount - 1);
    if (!chosen) return kExitUsage;
    cursor = *chosen;
  } else {
    cursor = defaultCursor(s);
  }
  const ResolutionFit fit = fitResolution(resolutionInput(s, cursor));
  if (fit.outcome != ResolutionFitOutcome::Fitted)
    return fail(fit.outcome == ResolutionFitOutcome::NoPeak || fit.outcome == ResolutionFitOutcome::NotMnKAlpha
                    ? code::kNoPeak
                    : code::kFit,
                outcomeText(fit.outcome));
  if (json)
    std::printf("{\"fwhm_ev\": %s, \"fwhm_err_ev\": %s, \"centroid_ch\": %s, \"chi2_reduced\": %s}\n",
                jsonRounded(fit.fwhmEv, 4).c_str(), jsonRounded(fit.fwhmErrEv, 4).c_str(),
                jsonRounded(fit.centroidCh, 4).c_str(), jsonRounded(fit.chi2Reduced, 4).c_str());
  else
    std::printf("FWHM %.2f ± %.2f eV at 5.9 keV, centroid %.2f ch, chi2r %.2f (channels %d..%d)\n", fit.fwhmEv,
                fit.fwhmErrEv, fit.centroidCh, fit.chi2Reduced, fit.low, fit.high - 1);
  return kExitOk;
}

}  // namespace tolvane::cli
