#pragma once
// The ROI windows of the map commands (scan --map, map): "i:low:high" or
// "i:low:high:LABEL", ROI entry i over channels low .. high-1.
#include <QString>
#include <optional>
#include <string>

#include "records/map_roi.h"

namespace tolvane::cli {

// Nothing, with the reason in `error`, unless i lies in lowest .. 8 and
// 0 <= low < high <= 8192; the label is at most 7 characters (the ROI
// table's).
std::optional<MapRoi> parseMapRoi(const QString& text, int lowest, std::string& error);

}  // namespace tolvane::cli
