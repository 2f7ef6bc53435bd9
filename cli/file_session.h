#pragma once
// A Session with no analyser attached, holding one spectrum file read as
// File > Read does: what the file-based subcommands work on.
#include <QCommandLineParser>
#include <string>

#include "app/session.h"
#include "device/clock.h"
#include "device/sim/sim_ftdi.h"

namespace tolvane::cli {

struct FileSession {
  ManualClock clock;
  SimFtdi noAnalyser{clock};
  Session session{noAnalyser, clock};
};

// Reads `path`; prints why and returns false when it cannot be read or is
// refused (its channel count disagrees with its whole blocks).
bool readSpectrum(Session& session, const std::string& path);

// Applies --first, --last and --cursor (when the parser has them and they
// are set); prints why and returns false when one is out of range.
bool applyView(const QCommandLineParser& parser, Session& session);

// JSON number for a stored float: enough digits to give the float back.
std::string jsonNumber(float value);

}  // namespace tolvane::cli
