#pragma once
// The SNIP options shared by background, roi and export: --width,
// --fwhm-kev, --no-lls and --smooth.
#include <QCommandLineParser>
#include <optional>
#include <string>
#include <vector>

#include "analysis/snip_background.h"
#include "app/session.h"

namespace tolvane::cli {

void addSnipOptions(QCommandLineParser& parser);

// The options for the spectrum read into `session`: --width as given, else
// the window for --fwhm-kev (or the detector's resolution) on the
// spectrum's calibration. Prints why and returns nullopt when neither a
// width nor a calibration is there, or a value is out of range (the exit
// code in `exitCode`).
std::optional<SnipOptions> snipOptionsFor(const QCommandLineParser& parser, const Session& session, int& exitCode);

// The background as whole counts (rounded, held to the 32-bit range), as a
// spectrum file keeps counts.
std::vector<int32_t> roundedBackground(const std::vector<double>& background);

// "w=29 LLS" or "w=29 smooth 2": the options in a few characters.
std::string snipOptionsText(const SnipOptions& options);

}  // namespace tolvane::cli
