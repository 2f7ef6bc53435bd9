#pragma once
// The engine's state: the spectra and memories, the run state, the setups,
// the view, the ROI table, the calibration, the fit state and the link to
// the analyser. Nothing here knows that a window exists; the command line
// and the fuzz targets can hold it without any window state.
#include <array>
#include <optional>
#include <string>

#include "acquisition/map_run.h"
#include "acquisition/precision_stop.h"
#include "records/local_time.h"
#include "records/shared_records.h"
#include "records/spectrum_record.h"
#include "device/device_link.h"
#include "device/mca_transport.h"
#include "lines/calibration_lines.h"
#include "lines/spectrum_lines.h"
#include "xfit/fit_quality.h"
#include "xfit/fit_quantification.h"
#include "xfit/mlsq_fit.h"

namespace tolvane {

class Clock;
class FtdiApi;

class EngineState {
  // First, so every member below can be built with them.
  FtdiApi& api_;
  Clock& clock_;

 public:
  static constexpr size_t kMaxPathLength = 255;

  EngineState(FtdiApi& api, Clock& clock) : api_(api), clock_(clock) {}
  EngineState(const EngineState&) = delete;
  EngineState& operator=(const EngineState&) = delete;

  FtdiApi& api() { return api_; }
  Clock& clock() { return clock_; }

  // The working spectrum and the memories Mem1..Mem3 (index 0..2).
  SpectrumRecord Working{SpectrumRecord::kWorkingCapacity};
  std::array<SpectrumRecord, 3> Memories{SpectrumRecord{SpectrumRecord::kMemoryCapacity},
                                         SpectrumRecord{SpectrumRecord::kMemoryCapacity},
                                         SpectrumRecord{SpectrumRecord::kMemoryCapacity}};
  SpectrumFileHeader AcquisitionTemplate;  // header of the MCA slot
  // The MCA slot's header as it stood when a memory was shown instead (its
  // run's start, times and ROI windows); none until then and after a start.
  std::optional<SpectrumFileHeader> McaSlotHeader;

  AcquisitionState Acquisition;
  McaSetup Mca;
  PrecisionStop Precision;  // the optional second stop condition
  ScanSetup Scan;
  PassFiles Passes;
  MapRun Mapping;  // the map a mapped scan builds
  DisplayState Display;
  RoiTable Rois;
  EnergyCalibration Calibration;
  MnFitState MnFit;
  bool StandardsLoaded = false;
  TDmVQRN DataModule;      // the standards table and the fit's storage
  FitQuality XfitQuality;  // how far the last MLSQ fit can be trusted
  FitQuantState FitQuant;  // "Quant": the table's conditions and the last result
  LinesSetup Lines;        // element line markers and identification
  LinesCalibrationSetup LinesCalibration;  // the calibration from many lines and its undo

  // The slot the memory radio buttons select: 0 = MCA, 1..3 = Mem1..Mem3.
  int SelectedMemory = 0;
  // Full path of the file last chosen in a file dialog (at most 255 chars).
  std::string LastPath;

  DeviceLink Link;
  McaTransport Transport{api_, Link, clock_};

  LocalTimeSource LocalTime = systemLocalTime;
};

}  // namespace tolvane
