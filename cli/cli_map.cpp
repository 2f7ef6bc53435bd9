// tolvane-cli map: ROI maps and region sums from a map file, read row by
// row so a large map is never held whole.
#include <QDir>
#include <cmath>
#include <cstdio>
#include <limits>

#include "cli/cli_common.h"
#include "cli/json_text.h"
#include "cli/map_options.h"
#include "cli/output_file.h"
#include "files/atomic_file.h"
#include "files/emsa_writer.h"
#include "files/map_file_reader.h"
#include "files/map_region_sum.h"
#include "roi/roi_map_files.h"
#include "roi/roi_map_renderer.h"
#include "roi/roi_maps_from_file.h"

namespace tolvane::cli {

namespace {

ExportedSpectrum regionSpectrum(const MapFileReader& reader, const RegionSum& sum, const MapRegion& r,
                                const std::string& path) {
  ExportedSpectrum e;
  e.counts.assign(sum.counts.begin(), sum.counts.end());
  if (reader.setup().calibrated) {
    e.unit = EnergyUnit::KeV;
    e.gain = static_cast<float>(reader.setup().gainKev);
    e.offset = static_cast<float>(reader.setup().offsetKev);
  }
  const auto tenths = [](double s) { return static_cast<int32_t>(std::lround(std::min(s * 10.0, 2.0e9))); };
  e.liveTime = tenths(sum.liveTimeS);
  e.realTime = e.presetTime = tenths(sum.realTimeS);
  e.comment = "sum of " + std::to_string(sum.pixels) + " pixels " + std::to_string(r.x0) + ":" +
              std::to_string(r.y0) + ":" + std::to_string(r.x1) + ":" + std::to_string(r.y1);
  e.sampleId = reader.setup().sampleId;
  e.name = path;
  return e;
}

}  // namespace

int runMap(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "ROI maps and region sums from a map file (tolvane-cli scan --map ... --image FILE.nxs).\n"
      "Prints per ROI the pixels holding a value and the smallest, mean and largest net sum.");
  parser.addPositionalArgument("FILE.nxs", "The map file.");
  parser.addOption({"roi", "Map ROI i over channels low..high-1 (repeatable); without it, the file's ROIs.",
                    "i:low:high[:LABEL]"});
  parser.addOption({"png", "Write per ROI the 16-bit grey net map, its mask and a false-colour map.", "DIR"});
  parser.addOption({"csv", "Write per ROI the net and gross maps as CSV.", "DIR"});
  parser.addOption({"sum", "Sum the recorded pixels of a rectangle (corners inclusive).", "x0:y0:x1:y1"});
  parser.addOption({"out", "Write the region sum as EMSA/MSA (with --sum).", "SUM.msa"});
  parser.addOption({"json", "Print one JSON object."});
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  if (!expectPositionals(parser, 1, 1, "FILE.nxs [--roi i:low:high ...] [--png DIR] [--csv DIR] [--sum x0:y0:x1:y1 --out SUM.msa]"))
    return kExitUsage;
  const bool json = parser.isSet("json");
  setJsonOutput(json);
  std::vector<MapRoi> rois;
  for (const QString& text : parser.values("roi")) {
    std::string error;
    const auto roi = parseMapRoi(text, 1, error);
    if (!roi) return usageError(error);
    rois.push_back(*roi);
  }
  MapRegion region;
  if (parser.isSet("sum") && !parseMapRegion(parser.value("sum").toStdString(), region))
    return usageError("--sum takes x0:y0:x1:y1 with whole numbers from 0, not '" + parser.value("sum").toStdString() + "'");
  if (parser.isSet("out") != parser.isSet("sum")) return usageError("--sum and --out go together");
  const std::string out = parser.value("out").toLocal8Bit().toStdString();
  if (parser.isSet("out"))
    if (auto refused = refuseOutput(out, {".msa", ".emsa", ".txt"})) return *refused;
  for (const char* option : {"png", "csv"})
    if (parser.isSet(option) && !QDir().mkpath(parser.value(option)))
      return fail(code::kOutput, "cannot make the folder " + parser.value(option).toStdString());

  const std::string path = parser.positionalArguments().front().toLocal8Bit().toStdString();
  std::string error;
  auto reader = MapFileReader::open(path, error);
  if (!reader) return fail(code::kRefused, error);
  const MapFileSetup& setup = reader->setup();
  if (rois.empty()) rois = setup.rois;
  if (rois.empty() && !parser.isSet("sum")) return usageError(path + " names no ROI maps: give --roi i:low:high");

  RoiMaps maps(setup.width, setup.height, rois,
               setup.skipBlank ? std::optional<MapRoi>(setup.blankReference) : std::nullopt);
  if (!rois.empty() && !addMapFilePixels(*reader, maps, error)) return fail(code::kRefused, path + ": " + error);

  std::vector<std::string> roiJson;
  for (const RoiMap& map : maps.maps()) {
    const RoiMapRange range = roiMapRange(map.net);
    if (json) {
      roiJson.push_back(JsonObject()
                            .addNumber("index", map.roi.index)
                            .addText("label", map.roi.label)
                            .addNumber("low", map.roi.low)
                            .addNumber("high", map.roi.high)
                            .addNumber("pixels", static_cast<long long>(range.pixels))
                            .addNumber("net_min", range.low)
                            .addNumber("net_mean", range.mean)
                            .addNumber("net_max", range.high)
                            .text());
    } else {
      std::printf("ROI #%d %-7s %5d..%-5d pixels %lld  net min %.0f mean %.1f max %.0f\n", map.roi.index,
                  map.roi.label.c_str(), map.roi.low, map.roi.high, static_cast<long long>(range.pixels), range.low,
                  range.mean, range.high);
    }
    if (parser.isSet("png") &&
        !writeRoiMapPngs(map, setup.width, setup.height, parser.value("png").toLocal8Bit().toStdString(), &error))
      return fail(code::kOutput, error);
    if (parser.isSet("csv")) {
      const std::string base = parser.value("csv").toLocal8Bit().toStdString() + "/" + roiMapStem(map.roi);
      for (const auto& [suffix, values] : {std::pair{"_net.csv", &map.net}, {"_gross.csv", &map.gross}}) {
        const std::string csv = roiMapCsv(*values, setup.width, setup.height);
        if (!writeFileAtomically(base + suffix, csv.data(), csv.size(), &error)) return fail(code::kOutput, error);
      }
    }
  }

  std::string sumJson = "null";
  if (parser.isSet("sum")) {
    RegionSum sum;
    if (!sumRegion(*reader, region, sum, error)) return fail(code::kRange, error);
    for (uint64_t c : sum.counts)
      if (c > std::numeric_limits<uint32_t>::max())
        return fail(code::kRange, "the region's sum exceeds 4294967295 counts in a channel: take a smaller one");
    const std::string text = emsaText(regionSpectrum(*reader, sum, region, out), EmsaDataForm::Y);
    if (auto problem = writeOutput(out, text.data(), text.size())) return fail(code::kOutput, *problem);
    if (json)
      sumJson = JsonObject()
                    .addNumber("pixels", static_cast<long long>(sum.pixels))
                    .addNumber("live_s", sum.liveTimeS)
                    .addNumber("real_s", sum.realTimeS)
                    .addText("out", out)
                    .text();
    else
      std::printf("sum of %lld pixels, live %.3f s, real %.3f s -> %s\n", static_cast<long long>(sum.pixels),
                  sum.liveTimeS, sum.realTimeS, out.c_str());
  }
  if (json)
    std::printf("%s\n", JsonObject()
                            .addNumber("width", setup.width)
                            .addNumber("height", setup.height)
                            .addNumber("channels", setup.channels)
                            .addNumber("recorded", static_cast<long long>(reader->recordedCount()))
                            .add("rois", jsonArray(roiJson))
                            .add("sum", sumJson)
                            .text()
                            .c_str());
  return kExitOk;
}

}  // namespace tolvane::cli
