#pragma once
// The --lines option of render and report: element line markers on the plot.
#include <QCommandLineParser>

#include "app/session.h"

namespace tolvane::cli {

void addLinesOption(QCommandLineParser& parser);
// Turns the markers on for the option's elements. Returns false after
// printing why when a word names no element; a spectrum without a usable
// calibration draws no markers and says so on stderr.
[[nodiscard]] bool applyLinesOption(const QCommandLineParser& parser, Session& session, const char* command);

}  // namespace tolvane::cli
