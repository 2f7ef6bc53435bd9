#include "cli/cli_xfit_map.h"

#include <filesystem>

#include "cli/cli_common.h"
#include "cli/cli_error.h"
#include "xfit/kratio_map_renderer.h"

namespace tolvane::cli {

void addMapOptions(QCommandLineParser& parser) {
  parser.addOption({"map",
                    "With --batch: the files are a raster of W x H points, in rows from the top left; write "
                    "per standard a 16-bit K-ratio map (0.01 % per grey level), a false-colour map and a CSV.",
                    "WxH"});
  parser.addOption({"out-dir", "The folder for the maps (made when missing).", "DIR"});
}

int mapRequestFrom(const QCommandLineParser& parser, qsizetype sampleFiles, std::optional<MapRequest>& request) {
  const auto usage = [](const std::string& message) { return usageError(message); };
  if (!parser.isSet("map")) return parser.isSet("out-dir") ? usage("--out-dir goes with --map") : 0;
  if (!parser.isSet("out-dir")) return usage("--map needs --out-dir DIR");
  const std::string text = parser.value("map").toStdString();
  const std::optional<MapSize> size = parseMapSize(text);
  if (!size) return usage("--map takes WxH, for example 64x48, not " + text);
  if (size->points() != sampleFiles)
    return usage("--map " + text + " needs " + std::to_string(size->points()) + " spectrum files, " +
                 std::to_string(sampleFiles) + " given");
  const std::string folder = parser.value("out-dir").toLocal8Bit().toStdString();
  if (folder.empty()) return usage("--out-dir needs a folder name");
  request = MapRequest{*size, folder};
  return 0;
}

int writeKratioMaps(const MapRequest& request, const XfitWorkspace& fit, const std::vector<BatchFileResult>& results) {
  std::error_code ec;
  std::filesystem::create_directories(request.folder, ec);
  if (!std::filesystem::is_directory(request.folder)) return fail(code::kOutput, "cannot make the folder " + request.folder);
  for (const KratioMap& map : kratioMaps(fit, request.size, results)) {
    std::string error;
    if (!writeKratioMapFiles(map, request.folder, &error)) return fail(code::kOutput, "cannot write the maps: " + error);
  }
  return 0;
}

}  // namespace tolvane::cli
