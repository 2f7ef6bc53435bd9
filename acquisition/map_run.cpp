#include "acquisition/map_run.h"

#include <cstdio>
#include <cstring>

#include "analysis/calibration_unit.h"
#include "app/engine_state.h"

namespace tolvane {

namespace {

std::string isoTime(int year, int month, int day, int hour, int minute, int second) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", year, month, day, hour, minute, second);
  return text;
}

std::string fieldText(const char* field, size_t size) { return std::string(field, strnlen(field, size)); }

MapRoi mapRoiOf(const RoiTable& table, int entry) {
  const RoiEntry& e = table.Entries[static_cast<size_t>(entry)];
  return {entry, fieldText(e.ElementLabel.data(), e.ElementLabel.size()), e.LowChannel, e.HighChannel};
}

}  // namespace

std::string mapRefusal(const EngineState& s) {
  const ScanSetup& scan = s.Scan;
  if (!scan.MapOn) return {};
  if (scan.MapWidth < 1 || scan.MapWidth > kMaxMapSide || scan.MapHeight < 1 || scan.MapHeight > kMaxMapSide)
    return "Map not started: X and Y must be 1 to 4096";
  for (int i = 0; i < 8; ++i)
    if (scan.MapRois[static_cast<size_t>(i)] && !s.Rois.Entries[static_cast<size_t>(i + 1)].Defined)
      return "Map not started: ROI #" + std::to_string(i + 1) + " is not defined";
  if (scan.SkipBlank && !s.Rois.Entries[0].Defined) return "Map not started: Skip Blank needs ROI #0";
  return {};
}

std::string BeginMap(EngineState& s) {
  EndMap(s.Mapping);
  s.Mapping = MapRun{};
  if (!s.Scan.MapOn) return {};
  if (std::string refusal = mapRefusal(s); !refusal.empty()) return refusal;
  const ScanSetup& scan = s.Scan;
  MapFileSetup setup;
  setup.width = scan.MapWidth;
  setup.height = scan.MapHeight;
  setup.channels = s.Acquisition.ChannelCount;
  if (s.Calibration.Valid) {
    const KevCalibration kev = calibrationInKev(s.Calibration.Gain, s.Calibration.Offset, setup.channels);
    setup.calibrated = kev.gainKev > 0;
    setup.gainKev = setup.calibrated ? kev.gainKev : 1.0;
    setup.offsetKev = setup.calibrated ? kev.offsetKev : 0.0;
  }
  for (int i = 0; i < 8; ++i)
    if (scan.MapRois[static_cast<size_t>(i)]) setup.rois.push_back(mapRoiOf(s.Rois, i + 1));
  setup.skipBlank = scan.SkipBlank;
  if (scan.SkipBlank) setup.blankReference = mapRoiOf(s.Rois, 0);
  setup.dwellTenths = scan.PresetTime;
  setup.memorySize = scan.MemorySize;
  setup.refreshMs = scan.RefreshInterval;
  setup.deadTimePerEventUs = s.Mca.DeadTimePerEvent;
  setup.serial = fieldText(s.Link.Serials[0].data(), s.Link.Serials[0].size());
  setup.comment = fieldText(s.Mca.Comment.data(), s.Mca.Comment.size());
  setup.sampleId = fieldText(s.Mca.SampleId.data(), s.Mca.SampleId.size());
  const LocalDateTime now = s.LocalTime();
  setup.startTime = isoTime(now.Year, now.Month, now.Day, now.Hour, now.Minute, now.Second);

  MapRun run;
  if (!scan.ImagePath.empty()) {
    std::string error;
    run.File = MapFileWriter::create(scan.ImagePath, setup, error);
    if (!run.File) return "Map not started: " + error;
  }
  run.Maps = RoiMaps(setup.width, setup.height, setup.rois,
                     setup.skipBlank ? std::optional<MapRoi>(setup.blankReference) : std::nullopt);
  run.Setup = std::move(setup);
  run.Active = true;
  s.Mapping = std::move(run);
  return {};
}

MapPassResult AddMapPass(EngineState& s, MappingTickOutcome pass) {
  MapRun& run = s.Mapping;
  MapPassResult result;
  if (!run.Active || run.complete()) return result;
  result.Pixel = run.NextPass++;
  result.Complete = run.complete();
  if (pass == MappingTickOutcome::PassLost) {
    result.Outcome = MapPassKeep::Lost;
    return result;
  }
  const int32_t channels = run.Setup.channels;
  const int32_t* counts = s.Working.Counts.data();
  run.Maps.addPixel(result.Pixel, counts, channels);
  result.Outcome = MapPassKeep::Added;
  if (!run.File) return result;

  // The live time as the pass file's header forms it, before truncation
  // to tenths: the dwell less the dead time of the counts it recorded.
  uint64_t total = 0;
  for (int32_t c = 0; c < channels; ++c) total += static_cast<uint32_t>(counts[c]);
  const double dwellS = s.Scan.PresetTime * 0.1;
  const double liveS = dwellS - static_cast<double>(total) * static_cast<double>(s.Mca.DeadTimePerEvent) * 1e-6;
  const SpectrumFileHeader::StartTime t = s.Working.Header.startTime();
  MapPass mapPass;
  mapPass.index = result.Pixel;
  mapPass.counts = reinterpret_cast<const uint32_t*>(counts);
  mapPass.liveTimeS = liveS;
  mapPass.realTimeS = dwellS;
  mapPass.startTime = t.known() ? isoTime(t.year, t.month, t.day, t.hour, t.minute, t.second) : std::string();
  if (!run.File->appendPass(mapPass, run.FileError)) {
    ++run.UnwrittenPasses;
    result.Outcome = MapPassKeep::FileFailed;
  }
  return result;
}

void EndMap(MapRun& run) { run.File.reset(); }

}  // namespace tolvane
