#pragma once
// Finds the peaks of a spectrum: a zero-area second-derivative filter
// matched to the detector's width at each energy marks channels where the
// curvature is significant against Poisson noise; each group of nearby
// peaks is then fitted with Gaussians on a straight background, giving
// centroid, net area with its uncertainty and FWHM.
#include <cstdint>
#include <optional>
#include <vector>

#include "lines/detector_resolution.h"

namespace tolvane {

// E(c) = c x gain + offset + c^2 x quadratic, in keV.
struct EnergyScale {
  double gain = 0.0;
  double offset = 0.0;
  double quadratic = 0.0;
  bool valid() const;
  double energy(double channel) const { return channel * gain + offset + channel * channel * quadratic; }
  // The channel of an energy: the root of the quadratic nearest the line's.
  double channel(double energyKev) const;
  // keV per channel at a channel.
  double slope(double channel) const { return gain + 2.0 * quadratic * channel; }
};

struct FoundPeak {
  double channel = 0.0;  // centroid
  double energyKev = 0.0;
  double net = 0.0;  // counts above the background
  double netError = 0.0;
  double fwhmChannels = 0.0;
  double fwhmKev = 0.0;
  double significance = 0.0;  // of the filter's response
};

struct PeakSearchOptions {
  double threshold = 4.5;     // filter response in standard deviations
  double minNetSigmas = 3.0;  // a fitted peak's net area / its error
};

enum class PeakSearchError { NoCalibration, EmptySpectrum };

struct [[nodiscard]] PeakSearchResult {
  std::optional<PeakSearchError> error;
  std::vector<FoundPeak> peaks;  // by channel
};

PeakSearchResult searchPeaks(const int32_t* counts, int32_t size, const EnergyScale& scale,
                             const DetectorResolution& resolution, const PeakSearchOptions& options = {});

}  // namespace tolvane
