#pragma once
// A Session with no analyser attached, holding one spectrum file read as
// File > Read does: what the file-based subcommands work on.
#include <QCommandLineParser>
#include <string>

#include "app/session.h"
#include "device/clock.h"
#include "device/sim/sim_ftdi.h"
#include "files/spectrum_file.h"

namespace tolvane::cli {

struct FileSession {
  ManualClock clock;
  SimFtdi noAnalyser{clock};
  Session session{noAnalyser, clock};
};

// Reads `path` into the session as File > Read does; prints why (code
// not_found or refused) and returns false when it cannot be read or is
// refused (its channel count disagrees with its whole blocks).
[[nodiscard]] bool readSpectrum(Session& session, const std::string& path);
std::string refusedSpectrumMessage(const std::string& path, const SpectrumFileRead& read);
// Why a file cannot be opened: "no such file", "is a folder", ...
std::string unreadableReason(const std::string& path);
// Whether the path names a folder (links followed).
bool isFolder(const std::string& path);

// Applies --first, --last and --cursor (when the parser has them and they
// are set); prints a usage error and returns false when one is out of
// range (exit 2).
[[nodiscard]] bool applyView(const QCommandLineParser& parser, Session& session);

}  // namespace tolvane::cli
