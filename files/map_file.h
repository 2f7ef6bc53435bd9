#pragma once
// Element-map files: one NeXus/HDF5 file per mapped scan, written pass by
// pass while the scan runs. The file is the whole record of the scan: the
// spectrum of every pixel, its live and real time and start, the energy
// scale, the ROIs chosen as maps and the analyser's setup. HyperSpy and
// PyMca open it as they are (docs/map_files.md).
//
//   / @default="entry" @file_writer="hyperspy_nexus_v3"
//   /entry (NXentry, @default="data")
//     data (NXdata, @signal="counts", @axes=["y","x","energy"],
//           @interpretation="spectrum")
//       counts uint32 [Y][X][C], one chunk per pixel's spectrum
//       energy float64 [C] (keV, or channels without calibration),
//       x float64 [X], y float64 [Y] (pixels),
//       calibration float64 [3] = offset, gain, 0 (PyMca's convention),
//       live_time float64 [Y][X] (s)
//     scan (NXcollection): real_time [Y][X] (s), pass_start_time [Y][X]
//       (local ISO 8601), recorded uint8 [Y][X], passes (the highest pass
//       recorded), start_time
//     rois (NXcollection): index, label, low_channel, high_channel of the
//       ROIs chosen as maps; skip_blank and the blank reference (ROI #0)
//     instrument/analyser (NXcollection): serial, memory size, dwell, ...
//     auxiliary/hyperspy_metadata: Signal/signal_type = "EDS_SEM",
//       Acquisition_instrument/SEM/Detector/EDS/live_time (mean, s)
//
// Every string attribute is a fixed-length string: HyperSpy compares
// NX_class with a byte string and sees no NXdata in a variable-length one.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "records/map_roi.h"

namespace tolvane {

// Everything about the scan that is fixed when it starts.
struct MapFileSetup {
  int32_t width = 1;  // pixels, 1 .. 4096 each
  int32_t height = 1;
  int32_t channels = 0;
  // Without a calibration the energy axis counts channels (gain 1, offset 0).
  bool calibrated = false;
  double gainKev = 1.0;
  double offsetKev = 0.0;
  std::vector<MapRoi> rois;  // those chosen as maps, at most 8
  bool skipBlank = false;    // a pixel whose blank reference gross is 0 is blank
  MapRoi blankReference;     // ROI #0
  int32_t dwellTenths = 0;   // preset time per pass, 0.1 s
  int32_t memorySize = 0;
  int32_t refreshMs = 0;
  double deadTimePerEventUs = 0.0;
  std::string serial, comment, sampleId;
  std::string startTime;  // local ISO 8601, "YYYY-MM-DDTHH:MM:SS"

  int64_t pixels() const { return int64_t{width} * height; }
};

inline constexpr int32_t kMaxMapSide = 4096;

// Whether a setup can be written; the reason otherwise.
bool mapSetupValid(const MapFileSetup& setup, std::string& reason);

// One pass at its pixel: pass p (0-based) is x = p mod width, y = p div width.
struct MapPass {
  int64_t index = 0;
  const uint32_t* counts = nullptr;  // `channels` values
  double liveTimeS = 0.0;
  double realTimeS = 0.0;
  std::string startTime;  // local ISO 8601
};

class MapFileWriter {
 public:
  ~MapFileWriter();
  MapFileWriter(const MapFileWriter&) = delete;
  MapFileWriter& operator=(const MapFileWriter&) = delete;

  // Makes the file with every dataset laid out and no pass in it. An
  // existing file is never replaced. Null, with the reason, on failure.
  static std::unique_ptr<MapFileWriter> create(const std::string& path, const MapFileSetup& setup,
                                               std::string& error);

  // Writes the pass at its pixel, marks it recorded, updates the mean live
  // time and the pass count, and flushes the file, so a crash after this
  // keeps the pass. False, with the reason, when the pass lies outside the
  // map or the write failed.
  bool appendPass(const MapPass& pass, std::string& error);

  const MapFileSetup& setup() const { return setup_; }
  int64_t recordedPasses() const { return recorded_; }

 private:
  struct Handles;
  MapFileWriter(MapFileSetup setup, std::unique_ptr<Handles> handles);
  bool recordedPixel(int64_t index) const;

  MapFileSetup setup_;
  std::unique_ptr<Handles> h_;
  int64_t recorded_ = 0;
  int64_t highestPass_ = 0;
  double liveTimeSum_ = 0.0;
  std::vector<double> liveTimeAt_;  // per pixel; below 0 where not recorded
};

}  // namespace tolvane
