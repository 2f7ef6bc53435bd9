#pragma once
// Where the acquire command's spectrum goes once the run has ended. A run
// that counted is never dropped: when the asked file cannot take it (its
// folder vanished, the disk filled), or must not be replaced (the run was
// interrupted and the file holds an earlier spectrum), the spectrum goes
// beside it, or else into the working folder, under a name no file has.
#include <functional>
#include <string>

#include "app/session.h"

namespace tolvane::cli {

struct RunOutput {
  std::string path;    // where the spectrum was written; empty: nowhere
  bool asAsked = false;  // the asked path itself
  std::string reason;  // why not the asked path (empty when it was)
};

// Writes the working spectrum. `replaceExisting` is false for a run that did
// not end at its preset: an existing file at `asked` is then kept.
RunOutput writeRunSpectrum(Session& session, const std::string& asked, bool replaceExisting);

// A free name for `asked` in `folder` ("" for the working folder):
// STEM.TAG-N.dat with the smallest N whose file does not exist, made at
// once (empty) so that no other run can take it; the stem is cut so the
// name stays within the system's limit. Empty when the folder takes no file.
std::string reserveFreeName(const std::string& folder, const std::string& asked, const std::string& tag);

// Reserves a free name for `asked` beside it, or else in the working
// folder, and has `write` fill it. Returns the file written, or empty when
// no place took it (a reserved name that could not be filled is removed).
std::string writeUnderFreeName(const std::string& asked, const std::string& tag,
                               const std::function<bool(const std::string&)>& write);

}  // namespace tolvane::cli
