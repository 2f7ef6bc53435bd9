#pragma once
// The xfit command's outputs, checked before any fit: the --save table and
// the --out-dir folder of the maps. A refused output ends the command with
// nothing on standard output, so a script never takes half a result.
#include <QCommandLineParser>
#include <optional>

namespace tolvane::cli {

// Prints why and returns the exit code (1) when an output cannot be
// written; nullopt when they can. The maps' folder is made now (it would
// be made before the first map anyway) and must take a new file.
std::optional<int> refuseXfitOutputs(const QCommandLineParser& parser);

}  // namespace tolvane::cli
