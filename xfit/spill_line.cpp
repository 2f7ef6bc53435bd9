#include "xfit/spill_line.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "lines/line_data.h"

namespace tolvane {

std::string spillingLine(const std::string& element, const KevCalibration& calibration, int32_t ownLow, int32_t ownHigh,
                         int32_t firstChannel, int32_t lastChannel) {
  const auto z = parseElement(element);
  if (!z || !(calibration.gainKev > 0) || firstChannel < 0 || lastChannel < firstChannel) return {};
  const double ownLowKev = calibration.energyKev(ownLow), ownHighKev = calibration.energyKev(ownHigh);
  const double spillLowKev = calibration.energyKev(firstChannel), spillHighKev = calibration.energyKev(lastChannel);
  // Lines up to the spectrum's 4096th channel can reach the fit windows.
  const double topKev = calibration.energyKev(kFitChannels - 1);
  std::string best;
  double bestDistance = std::numeric_limits<double>::infinity(), bestStrength = 0.0;
  for (const XrayLine& line : emissionLines(*z, excitationForRange(topKev)).lines) {
    if (line.energyKev >= ownLowKev && line.energyKev <= ownHighKev) continue;  // the window holds it
    const double distance = std::max({0.0, spillLowKev - line.energyKev, line.energyKev - spillHighKev});
    if (distance > kSpillLineReachKev) continue;
    // Nearest first; of lines as near (a doublet), the strongest.
    if (distance < bestDistance - 1e-9 ||
        (std::fabs(distance - bestDistance) <= 1e-9 && line.relative > bestStrength)) {
      best = line.group;
      bestDistance = distance;
      bestStrength = line.relative;
    }
  }
  return best;
}

std::string spillFlagText(const FitFlag& flag, const XfitWorkspace& fit, const std::vector<StandardInUse>& standards) {
  if (flag.kind != FitFlagKind::WindowSpill || flag.standard < 0 || flag.standard >= kMaxStandards)
    return fitFlagText(flag, fit, 0.0);
  const StandardRecord& record = fit.SelectedCopy[static_cast<size_t>(flag.standard)];
  for (const StandardInUse& s : standards) {
    if (s.index != flag.index || !s.read.ok()) continue;
    const SpectrumFileHeader& h = s.read.header;
    if (h.calibrationMarker() == 1.0f || h.gain() == 0.0f || !std::isfinite(h.gain()) || !std::isfinite(h.offset()))
      break;
    const std::string line = spillingLine(record.elemName(), calibrationInKev(h.gain(), h.offset(), s.read.channels),
                                          record.fitLowCh(), record.fitHighCh(), flag.firstChannel, flag.lastChannel);
    return fitFlagText(flag, fit, 0.0, line);
  }
  return fitFlagText(flag, fit, 0.0);
}

}  // namespace tolvane
