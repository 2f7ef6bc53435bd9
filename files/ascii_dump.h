#pragma once
// File > AsciiWrite: the working spectrum as text other programs can read,
// a short header of "label, value" lines and one "channel,count" line per
// channel, each line ending in CR LF.
#include <ostream>
#include <string>

#include "files/file_write_outcome.h"

namespace tolvane {

class Session;

// The dump's text for the current state (the spectrum's name as it stands).
std::string asciiDumpText(const Session& session);

// Writes the dump of the current state to a stream.
FileWriteOutcome writeAsciiDumpStream(std::ostream& out, const Session& session);

// Names the spectrum after `path` and writes the dump there, replacing the
// file only once the whole dump is written.
FileWriteOutcome writeAsciiDump(Session& session, const std::string& path);

}  // namespace tolvane
