#include "lines/detector_resolution.h"

#include <algorithm>
#include <cmath>

namespace tolvane {

namespace {

// 2.3548^2 x 0.115 x 3.85 eV, in keV per keV of photon energy.
constexpr double kFanoSlope = 2.3548200450309493 * 2.3548200450309493 * 0.115 * 3.85e-3;

}  // namespace

DetectorResolution::DetectorResolution(double fwhmKev, double atKev) {
  if (!(fwhmKev > 0.0) || !(atKev > 0.0) || !std::isfinite(fwhmKev) || !std::isfinite(atKev)) {
    fwhmKev = 0.145;
    atKev = 5.899;
  }
  // A width narrower than the Fano limit leaves no room for noise.
  noiseSquared_ = std::max(fwhmKev * fwhmKev - kFanoSlope * atKev, 0.0);
}

double DetectorResolution::fwhmKev(double energyKev) const {
  return std::sqrt(noiseSquared_ + kFanoSlope * std::max(energyKev, 0.0));
}

}  // namespace tolvane
