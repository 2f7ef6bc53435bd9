#pragma once
// The records that every subsystem shares: run state and timers, the two
// setups, what the plot shows, the ROI table, the energy calibration and
// the Mn K-alpha fit state. Field names and widths are the ones the file
// formats and the analyser protocol rely on.
#include <array>
#include <cstdint>
#include <string>

#include "records/device_status.h"

namespace tolvane {

using Colour24 = uint32_t;  // 0x00BBGGRR
inline constexpr Colour24 kBlack = 0x000000;
inline constexpr Colour24 kWhite = 0xFFFFFF;
inline constexpr Colour24 kLime = 0x00FF00;
inline constexpr Colour24 kAqua = 0xFFFF00;
inline constexpr Colour24 kRed = 0x0000FF;
inline constexpr Colour24 kBlue = 0xFF0000;

struct AcquisitionState {
  int32_t DeviceCount = 0;
  bool DeviceOpen = false;
  bool Running = false;
  int32_t Mode = 1;  // 1 = MCA acquisition, 0 = mapping scan
  int32_t ChannelCount = 4096;
  int32_t BlockChannels = 128;
  int32_t PresetTime = 10000;  // 0.1 s
  int32_t RealTime = 0;        // 0.1 s
  int32_t LiveTime = 0;        // 0.1 s
  int32_t DeadTimePerMille = 0;
  float CountRate = 0.0f;  // kcps; the count total right after a transfer
  int32_t MaxCount = 0;
  int32_t ScanCount = 0;
  float PrevRealSeconds = 0.0f;
  float RealSeconds = 0.0f;
  float IntervalSeconds = 0.0f;
  float PrevTotal = 0.0f;
  float Total = 0.0f;
  DeviceStatus Status;
  // The preset the analyser last acknowledged ("$P"), in 0.1 s; 0 until one
  // was sent. The analyser keeps one preset for both modes, so a start sends
  // the mode's own preset when this differs from it.
  int32_t AnalyserPresetTime = 0;
  // The preset the last MCA run ended at, in 0.1 s; 0 when it was stopped,
  // ended by the precision preset, or had counted past a preset lowered
  // before it ended.
  int32_t EndedAtPreset = 0;
  // The last "$S;" got no answer: the analyser may still be counting, so
  // Stop and Abort still send "$S;" though Running is 0.
  bool StopUnconfirmed = false;
  // The analyser has counted (a run or a scan) since its memory was last
  // cleared with "$CX;": a scan started now would find those counts in its
  // first pass. Set when the analyser is opened, as its memory is unknown.
  bool PassMemoryUsed = false;
};

struct McaSetup {
  int32_t ChannelCount = 4096;
  int32_t PresetTime = 10000;     // 0.1 s
  float DeadTimePerEvent = 1.8f;  // microseconds
  std::array<char, 32> Comment{};
  std::array<char, 32> SampleId{};
};

struct ScanSetup {
  int32_t MemorySize = 2048;
  int32_t PresetTime = 10;        // 0.1 s per pass
  int32_t RefreshInterval = 100;  // ms
  // "Save Spectrum Data": each pass is written beside this path as
  // NAME_0001.dat, NAME_0002.dat, ...; empty when passes are not saved.
  std::string SavePath;
  // Passes the caller means to count (0: until aborted). Sets how many
  // digits the pass numbers get, so the files sort in pass order.
  int64_t PlannedPasses = 0;
  // "Elements Mapping": with MapOn the scan is a map of MapWidth x
  // MapHeight pixels, one pass per pixel row by row from the top left, and
  // it ends itself after the last. MapRois[i] ("ROI #i+1") makes ROI entry
  // i + 1 a map; SkipBlank marks a pixel blank whose ROI #0 gross sum is 0.
  // ImagePath is the map file; empty when none is written.
  bool MapOn = false;
  int32_t MapWidth = 100;
  int32_t MapHeight = 100;
  std::array<bool, 8> MapRois{};
  bool SkipBlank = false;
  std::string ImagePath;
};

// Where the passes of the running scan go. A scan continues the numbering
// past the highest NAME_nnnn.dat already in the folder, so it never replaces
// a file of an earlier scan; Clear does not restart the numbering.
struct PassFiles {
  std::string SavePath;    // the chosen file these numbers belong to
  int64_t NextNumber = 1;  // the number the next counted pass gets
  int Digits = 4;
  int32_t LostPasses = 0;  // passes of this scan whose transfer failed
  int32_t UnsavedPasses = 0;  // passes of this scan whose file could not be written
};

struct DisplayState {
  bool LogScale = true;
  int32_t FullScaleIndex = 2;
  int32_t FirstShown = 0;
  int32_t LastShown = 4095;
  int32_t Cursor = 2048;
  float PeakCentroid = 0.0f;
  Colour24 TextBackColour = kBlack;
  // Whether the readouts have figures behind them: a spectrum that comes
  // from a file brings no count rate or event count (and no dead time
  // when its times are missing); the plot then leaves them empty.
  bool RatesKnown = true;
  bool DeadTimeKnown = true;
  Colour24 CaptionColour = kWhite;
  Colour24 TraceColour = kLime;
  bool SnapshotShown = false;
  bool Mem1Shown = false;
  bool Mem2Shown = false;
  bool Mem3Shown = false;
  // SnapShot of a memory draws its counts scaled to a common live time
  // (display/normalised_overlay.h), so overlays of different counting
  // times compare at a glance.
  bool NormaliseOverlays = false;
  // The SNIP background (display/shown_background.h): drawn over the
  // plot, and taken as the ROIs' net background instead of the straight
  // line; its window half-width in channels (0: from the detector's
  // resolution on a calibrated spectrum).
  bool SnipShown = false;
  bool RoiNetOverSnip = false;
  int32_t SnipWidth = 0;
  // The spectrum shown came from a file or a memory, not from the
  // analyser: the DT % and kcts readouts show its own figures (from its
  // times and counts), not those of the analyser's last run.
  bool ReadoutsFromSpectrum = false;
};

struct RoiEntry {
  bool Defined = false;
  bool Shown = false;
  std::array<char, 8> ElementLabel{'X', 'x', '-', 'N', 'N', '\0'};
  int32_t LowChannel = 0;
  int32_t HighChannel = 0;
  Colour24 Colour = kBlack;
  int32_t GrossSum = 0;
};

struct RoiTable {
  static constexpr int kEntries = 16;
  std::array<RoiEntry, kEntries> Entries{};
  int32_t SelectedRoi = 0;
};

struct EnergyCalibration {
  bool Valid = false;
  std::array<char, 8> UnitText{};
  float RefLowChannel = 0.0f;
  float RefHighChannel = 0.0f;
  float RefLowEnergy = 0.0f;
  float RefHighEnergy = 0.0f;
  float Gain = 0.0f;
  float Offset = 0.0f;
  // E(c) = c x Gain + Offset + c^2 x Quadratic; 0 for a straight line (the
  // two-point calibration always sets it to 0).
  float Quadratic = 0.0f;
};

struct MnFitState {
  bool OverlayShown = false;
  float KAlpha1Position = 0.0f;
  float KAlpha2Position = 0.0f;
  float EvPerChannel = 0.0f;
  float KAlpha1Energy = 5899.0f;
  float KAlpha2Energy = 5888.0f;
};

}  // namespace tolvane
