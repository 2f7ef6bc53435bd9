#pragma once
// File > AsciiWrite: the working spectrum as text other programs can read,
// a short header of "label, value" lines and one "channel,count" line per
// channel, each line ending in CR LF.
#include <string>

namespace tolvane {

class Session;

// The dump's text for the current state (the spectrum's name as it stands).
std::string asciiDumpText(const Session& session);

// Names the spectrum after `path` and writes the dump there, replacing the
// file only once the whole dump is written. Returns whether it was
// written; a failure puts "File Write Error !" in the status field.
bool WriteAsciiDump(Session& session, const std::string& path);

}  // namespace tolvane
