#pragma once
// Reads an element-map file (files/map_file.h): the setup, the per-pixel
// times and which pixels hold a pass, and the counts of any block of
// pixels, read as it is needed so a large map is never held whole.
// A file without the scan's own groups (one HyperSpy wrote, say) still
// reads when /entry/data holds a [Y][X][C] counts dataset: every pixel
// then counts as recorded, with no times.
#include <memory>
#include <string>
#include <vector>

#include "files/map_file.h"

namespace tolvane {

class MapFileReader {
 public:
  ~MapFileReader();
  MapFileReader(const MapFileReader&) = delete;
  MapFileReader& operator=(const MapFileReader&) = delete;

  // Null, with the reason, when the file cannot be opened or is not a map.
  static std::unique_ptr<MapFileReader> open(const std::string& path, std::string& error);

  const MapFileSetup& setup() const { return setup_; }
  int32_t width() const { return setup_.width; }
  int32_t height() const { return setup_.height; }
  int32_t channels() const { return setup_.channels; }

  // Per pixel, in raster order (y * width + x).
  const std::vector<double>& liveTimeS() const { return liveTime_; }
  const std::vector<double>& realTimeS() const { return realTime_; }
  const std::vector<uint8_t>& recorded() const { return recorded_; }
  const std::vector<std::string>& passStartTimes() const { return passStart_; }
  int64_t passes() const { return passes_; }  // the highest pass recorded
  int64_t recordedCount() const;

  // The counts of columns x0 .. x0+cols-1 of rows y0 .. y0+rows-1 into
  // `out` as [row][column][channel]. False, with the reason, when the block
  // leaves the map or the read fails.
  bool readBlock(int32_t x0, int32_t y0, int32_t cols, int32_t rows, uint32_t* out, std::string& error) const;
  // The whole map, [Y][X][C].
  bool readAll(std::vector<uint32_t>& out, std::string& error) const;

 private:
  struct Handles;
  MapFileReader();

  std::unique_ptr<Handles> h_;
  MapFileSetup setup_;
  std::vector<double> liveTime_, realTime_;
  std::vector<uint8_t> recorded_;
  std::vector<std::string> passStart_;
  int64_t passes_ = 0;
};

}  // namespace tolvane
