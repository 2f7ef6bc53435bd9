#pragma once
// The precision preset of tolvane-cli acquire: --roi defines ROI entries for
// the run as the ROI page does, --precision r:p stops the run when ROI r's
// net sum reaches a relative sigma of p percent (or at the preset time,
// whichever comes first), and the result is printed as text or JSON.
#include <QCommandLineParser>
#include <string>

namespace tolvane {
class Session;
}

namespace tolvane::cli {

void addPrecisionOptions(QCommandLineParser& parser);
// Applies --roi and --precision to the session before the run; returns the
// usage error, or an empty text.
std::string applyPrecisionOptions(const QCommandLineParser& parser, Session& session);
// After the run: what stopped it, the real and live time and, with a
// precision preset, the ROI's net sum and its relative sigma.
void printRunResult(const Session& session, bool json);

}  // namespace tolvane::cli
