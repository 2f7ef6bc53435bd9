#pragma once
// The map a mapped scan builds ("X-ray Mapping ON"): pass p (from 1) of
// the scan is pixel ((p-1) mod X, (p-1) div X), row by row from the top
// left; each pass read adds its pixel to the ROI maps and, when a map file
// was chosen, to the file (flushed at once). A pass whose transfer failed
// keeps its pixel empty: the stage has moved on. The scan ends after X x Y
// passes. Clear does not restart the raster: the stage keeps moving.
#include <memory>
#include <string>

#include "acquisition/mapping_tick.h"
#include "files/map_file.h"
#include "roi/roi_maps.h"

namespace tolvane {

class EngineState;

struct MapRun {
  bool Active = false;
  MapFileSetup Setup;
  RoiMaps Maps;
  std::unique_ptr<MapFileWriter> File;  // null when no map file is written
  int64_t NextPass = 0;                 // the pixel the next pass goes to
  int32_t UnwrittenPasses = 0;          // passes the file could not take
  std::string FileError;                // why the last one could not

  bool complete() const { return Active && NextPass >= Setup.pixels(); }
};

// Why a mapped scan cannot start; empty when it can. Checked before the
// analyser is asked to scan.
std::string mapRefusal(const EngineState& state);

// Starts the map of the scan about to run from the scan setup, the ROI
// table, the calibration and the MCA setup; makes the map file when
// `ScanSetup::ImagePath` is set. Returns the refusal, or empty. With
// "X-ray Mapping ON" off it leaves the run inactive and returns empty.
std::string BeginMap(EngineState& state);

enum class MapPassKeep {
  NotMapping,   // no map is being built
  Added,        // the pixel holds the pass (and the file, if any)
  Lost,         // the transfer failed: the pixel stays empty
  FileFailed,   // in the maps, but the file could not take it
};

struct MapPassResult {
  MapPassKeep Outcome = MapPassKeep::NotMapping;
  int64_t Pixel = -1;
  bool Complete = false;  // that was the last pixel: the scan should end
};

// For a counted pass: the working spectrum holds it, with the pass's
// header (its start time and dwell) already adopted.
MapPassResult AddMapPass(EngineState& state, MappingTickOutcome pass);

// Closes the map file; the maps stay for viewing.
void EndMap(MapRun& run);

}  // namespace tolvane
