#pragma once
// xfit --batch --map WxH --out-dir DIR: the batch's K-ratios as maps.
#include <QCommandLineParser>
#include <optional>
#include <string>
#include <vector>

#include "xfit/batch_files.h"
#include "xfit/kratio_map.h"

namespace tolvane::cli {

struct MapRequest {
  MapSize size;
  std::string folder;
};

// Adds --map and --out-dir to the xfit options.
void addMapOptions(QCommandLineParser& parser);
// Checks --map and --out-dir against the number of sample files, before
// any work, and that the folder can be made and written. Returns 0 with
// `request` set (or left empty without --map), 2 after printing a usage
// error, or 1 after printing why the folder cannot take the maps.
int mapRequestFrom(const QCommandLineParser& parser, qsizetype sampleFiles, std::optional<MapRequest>& request);
// Writes each selected standard's maps into the folder (made when
// missing). Returns 0, or 1 after printing why.
int writeKratioMaps(const MapRequest& request, const XfitWorkspace& fit, const std::vector<BatchFileResult>& results);

}  // namespace tolvane::cli
