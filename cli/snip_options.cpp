#include "cli/snip_options.h"

#include <cmath>
#include <limits>

#include "cli/cli_common.h"
#include "lines/detector_resolution.h"
#include "lines/snip_width.h"
#include "lines/spectrum_lines.h"

namespace tolvane::cli {

void addSnipOptions(QCommandLineParser& parser) {
  parser.addOption({"width",
                    "Half-width of the widest clipping window in channels, 1 to 4095 (default: twice the "
                    "detector's FWHM at the middle of the spectrum's energy range, which needs a calibration).",
                    "channels"});
  parser.addOption({"fwhm-kev", "The detector's FWHM at 5.9 keV in keV, 0.03 to 1 (default 0.145), for the width.",
                    "keV"});
  parser.addOption({"no-lls", "Clip the counts themselves, not their log-log-sqrt transform."});
  parser.addOption({"smooth", "Passes of 1/4 1/2 1/4 smoothing before clipping, 0 to 100 (default 0).", "passes"});
}

std::optional<SnipOptions> snipOptionsFor(const QCommandLineParser& parser, const Session& s, int& exitCode) {
  exitCode = kExitUsage;
  if (!exclusive(parser, "width", "fwhm-kev")) return std::nullopt;
  SnipOptions options;
  options.logLogSqrt = !parser.isSet("no-lls");
  const auto smooth = integerOption(parser, "smooth", 0, 100, 0);
  if (!smooth) return std::nullopt;
  options.smoothing = *smooth;
  if (parser.isSet("width")) {
    const auto width = integerOption(parser, "width", 1, kSnipMaxWidth);
    if (!width) return std::nullopt;
    options.width = *width;
    return options;
  }
  const auto fwhm = numberOption(parser, "fwhm-kev", 0.03, 1.0, 0.145, "keV");
  if (!fwhm) return std::nullopt;
  const CalibrationCheck check = lineCalibration(s);
  if (check.error) {
    exitCode = fail(code::kNoCalibration,
                    "the file holds no usable energy calibration to take the width from; give --width (channels)");
    return std::nullopt;
  }
  options.width = snipWidthFromResolution(DetectorResolution(*fwhm, 5.899), check.scale.gain, check.scale.offset,
                                          s.Acquisition.ChannelCount);
  return options;
}

std::vector<int32_t> roundedBackground(const std::vector<double>& background) {
  std::vector<int32_t> counts(background.size());
  for (size_t c = 0; c < background.size(); ++c) {
    const double rounded = std::round(background[c]);
    counts[c] = rounded >= 2147483647.0    ? std::numeric_limits<int32_t>::max()
                : rounded <= -2147483648.0 ? std::numeric_limits<int32_t>::min()
                                           : static_cast<int32_t>(rounded);
  }
  return counts;
}

std::string snipOptionsText(const SnipOptions& options) {
  std::string text = "w=" + std::to_string(options.width);
  if (options.logLogSqrt) text += " LLS";
  if (options.smoothing > 0) text += " smooth " + std::to_string(options.smoothing);
  return text;
}

}  // namespace tolvane::cli
