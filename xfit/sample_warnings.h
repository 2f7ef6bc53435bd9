#pragma once
// Warnings for a sample measured unlike its standards, one per cause (not
// one per standard): energy scales that differ or may differ, and live
// times that differ. The fit compares channels, so it can only be trusted
// where a channel means the same energy in the sample and the standards.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "records/spectrum_file_header.h"
#include "xfit/standards_check.h"

namespace tolvane {

enum class SampleWarningCause {
  CalibrationsDiffer,  // both calibrated, to different energy scales
  ChannelsDiffer,      // channel counts differ and no pair of calibrations says the scales agree
  LiveTimesDiffer,
};

struct SampleWarning {
  SampleWarningCause cause;
  std::string text;  // the sample's own detail, naming the standards concerned
};

std::vector<SampleWarning> sampleWarnings(const SpectrumFileHeader& sample, int32_t sampleChannels,
                                          const std::vector<StandardInUse>& standards);

// The cause as a CSV flag ("calibration_differs", "channels_differ",
// "live_time_differs") and as a batch's summary line says it.
const char* sampleWarningToken(SampleWarningCause cause);
const char* sampleWarningSummary(SampleWarningCause cause);

// The K-ratio per unit live time: kratio x (standard's live time / sample's
// live time), the times in tenths of a second; nullopt when either is 0.
std::optional<double> liveTimeKratio(double kratioPct, int32_t sampleLiveTenths, int32_t standardLiveTenths);

}  // namespace tolvane
