// tolvane-cli resolution: the detector's FWHM at Mn K-alpha from a
// least-squares fit of the K-alpha doublet on a linear background.
#include <cmath>
#include <cstdio>
#include <string>

#include "analysis/calibration_unit.h"
#include "analysis/resolution_fit.h"
#include "cli/cli_common.h"
#include "cli/file_session.h"
#include "cli/json_text.h"

namespace tolvane::cli {

namespace {

std::string number(const char* format, double value) {
  char text[48];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// Why the fit gives no width, with the fitted numbers when there are some.
std::string refusalText(const ResolutionFit& fit, int32_t cursor) {
  switch (fit.outcome) {
    case ResolutionFitOutcome::NoPeak:
      return "no peak near the cursor";
    case ResolutionFitOutcome::TooFewChannels:
      return "too few channels around the peak";
    case ResolutionFitOutcome::NotConverged:
      return "the fit did not converge";
    case ResolutionFitOutcome::NotMnKAlpha:
      return "the calibration puts the cursor far from Mn K-alpha (5.9 keV): place it on the Mn K-alpha peak";
    case ResolutionFitOutcome::BadCalibration:
      return "the file's energy calibration is not usable (its gain must be a positive number and its offset a "
             "number); recalibrate, or write the spectrum without a calibration";
    case ResolutionFitOutcome::WidthAtBound:
      return "the width ran to a bound of the fit (FWHM " + number("%.2f", fit.fwhmCh) + " channels, bounds " +
             number("%.2f", fit.lowestFwhmCh) + " to " + number("%.2f", fit.highestFwhmCh) +
             "): no Mn K-alpha doublet at channel " + std::to_string(cursor);
    case ResolutionFitOutcome::OffCursor:
      return "the fitted peak is at channel " + number("%.2f", fit.centroidCh) + ", more than one FWHM (" +
             number("%.2f", fit.fwhmCh) + " channels) from channel " + std::to_string(cursor) +
             " where it was looked for: place --cursor on the Mn K-alpha peak";
    case ResolutionFitOutcome::PoorFit:
      return "chi2r " + number("%.2f", fit.chi2Reduced) + " is above " + number("%g", kResolutionChi2Refused) +
             ": the peak is not a lone Mn K-alpha doublet on a straight background (FWHM would be " +
             number("%.2f", fit.fwhmEv) + " eV)";
    case ResolutionFitOutcome::Fitted:
      break;
  }
  return "";
}

std::string_view refusalCode(ResolutionFitOutcome outcome) {
  switch (outcome) {
    case ResolutionFitOutcome::NoPeak:
    case ResolutionFitOutcome::NotMnKAlpha:
      return code::kNoPeak;
    case ResolutionFitOutcome::BadCalibration:
      return code::kNoCalibration;
    case ResolutionFitOutcome::WidthAtBound:
    case ResolutionFitOutcome::OffCursor:
    case ResolutionFitOutcome::PoorFit:
      return code::kBadFit;
    default:
      return code::kFit;
  }
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
  if (cal.Valid == 1 && !probe.calibrationUnusable) {
    const KevCalibration kev = calibrationInKev(cal.Gain, cal.Offset, probe.channels);
    const double channel = std::round((kResolutionKAlpha1Ev / 1000.0 - kev.offsetKev) / kev.gainKev);
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
      "(11 eV apart, 2:1) on a linear background; FWHM and its error in eV, centroid in channels.\n"
      "Refused (exit 1): a width at a bound of the fit, a centroid more than one FWHM from the cursor,\n"
      "chi2r above 10, a calibration that is not a positive number. Chi2r above 3 is flagged.");
  parser.addPositionalArgument("file", "Spectrum file (.dat).");
  parser.addOption({"cursor", "A channel on or next to the Mn K-alpha peak (default: found).", "channel"});
  parser.addOption({"json", "Print one JSON object."});
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  if (!expectPositionals(parser, 1, 1, "FILE.dat [--cursor C] [--json]")) return kExitUsage;
  const bool json = parser.isSet("json");
  FileSession f;
  Session& s = f.session;
  if (!readSpectrum(s, parser.positionalArguments().front().toStdString())) return kExitFailure;
  // The reader passes over a stored calibration that is no number or not
  // increasing, and the fit would then take the strongest peak for Mn
  // K-alpha; refuse it instead. A gain and offset both 0 is a blank header.
  const SpectrumFileHeader& header = s.Working.Header;
  const float gain = header.gain(), offset = header.offset();
  if (header.calibrationMarker() != 1.0f && !(gain == 0.0f && offset == 0.0f) &&
      !(std::isfinite(gain) && gain > 0.0f && std::isfinite(offset)))
    return fail(code::kNoCalibration, refusalText({ResolutionFitOutcome::BadCalibration}, 0));
  int32_t cursor = 0;
  if (parser.isSet("cursor")) {
    const auto chosen = integerOption(parser, "cursor", 0, s.Acquisition.ChannelCount - 1);
    if (!chosen) return kExitUsage;
    cursor = *chosen;
  } else {
    cursor = defaultCursor(s);
  }
  const ResolutionFit fit = fitResolution(resolutionInput(s, cursor));
  if (fit.outcome != ResolutionFitOutcome::Fitted) return fail(refusalCode(fit.outcome), refusalText(fit, cursor));
  if (fit.chi2High)
    warn("chi2r " + number("%.2f", fit.chi2Reduced) + " is above " + number("%g", kResolutionChi2Flagged) +
         ": the peak may carry a neighbouring line or a curved background; the FWHM's error is widened by sqrt(chi2r)");
  if (json)
    std::printf("{\"fwhm_ev\": %s, \"fwhm_err_ev\": %s, \"centroid_ch\": %s, \"chi2_reduced\": %s, \"flags\": [%s]}\n",
                jsonRounded(fit.fwhmEv, 4).c_str(), jsonRounded(fit.fwhmErrEv, 4).c_str(),
                jsonRounded(fit.centroidCh, 4).c_str(), jsonRounded(fit.chi2Reduced, 4).c_str(),
                fit.chi2High ? "\"chi2_high\"" : "");
  else
    std::printf("FWHM %.2f ± %.2f eV at 5.9 keV, centroid %.2f ch, chi2r %.2f%s (channels %d..%d)\n", fit.fwhmEv,
                fit.fwhmErrEv, fit.centroidCh, fit.chi2Reduced, fit.chi2High ? " (high)" : "", fit.low, fit.high - 1);
  return kExitOk;
}

}  // namespace tolvane::cli
