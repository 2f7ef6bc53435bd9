#pragma once
// Spectra for the line tests: Gaussian lines of the detector's width on a
// smooth continuum, with Poisson noise from a fixed seed.
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "lines/detector_resolution.h"
#include "lines/line_data.h"
#include "lines/peak_search.h"

namespace tolvane::test {

class SyntheticSpectrum {
 public:
  explicit SyntheticSpectrum(int32_t channels = 4096, EnergyScale scale = {0.01, 0.0})
      : scale_(scale), mean_(static_cast<size_t>(channels), 0.0) {}

  const EnergyScale& scale() const { return scale_; }
  int32_t size() const { return static_cast<int32_t>(mean_.size()); }

  // `area` counts in a Gaussian of the detector's width at `energyKev`.
  void addLine(double energyKev, double area) {
    const double sigma = resolution_.fwhmKev(energyKev) / 2.3548200450309493 / scale_.gain;
    const double centre = scale_.channel(energyKev);
    for (int32_t c = 0; c < size(); ++c) {
      const double d = (c - centre) / sigma;
      if (std::fabs(d) < 8.0) mean_[static_cast<size_t>(c)] += area * std::exp(-0.5 * d * d) / (sigma * 2.5066282746);
    }
  }

  // The element's emission lines, sized by their production so that its
  // strongest line holds `area` counts, and its Si escape peaks.
  void addElement(int z, double area, double maxKev = kDefaultMaxKev) {
    const ElementLines element = emissionLines(z, maxKev);
    double strongest = 0.0;
    for (const XrayLine& l : element.lines) strongest = std::max(strongest, l.production);
    for (const XrayLine& l : element.lines) addLine(l.energyKev, area * l.production / strongest);
    for (const XrayLine& l : detectorLines(element.lines))
      if (l.kind == LineKind::Escape) addLine(l.energyKev, area * l.production / strongest);
  }

  // A broad hump: `perChannel` counts at its top near 3 keV.
  void addContinuum(double perChannel) {
    for (int32_t c = 0; c < size(); ++c) {
      const double e = scale_.energy(c);
      mean_[static_cast<size_t>(c)] += e > 0.5 ? perChannel * (e - 0.5) / 2.5 * std::exp(1.0 - (e - 0.5) / 2.5) : 0.0;
    }
  }

  // A continuum that starts with a step at the detector's threshold: no
  // counts below `fromKev`, `perChannel` just above it, falling off with
  // energy to a third of that, up to `toKev`.
  void addStepContinuum(double perChannel, double fromKev = 0.3, double toKev = 6.5) {
    for (int32_t c = 0; c < size(); ++c) {
      const double e = scale_.energy(c);
      if (e > fromKev && e < toKev)
        mean_[static_cast<size_t>(c)] += perChannel * (0.3 + std::exp(-(e - fromKev) / 1.5)) / 1.3;
    }
  }

  std::vector<int32_t> draw(unsigned seed = 1) const {
    std::mt19937 random(seed);
    std::vector<int32_t> counts(mean_.size());
    for (size_t c = 0; c < mean_.size(); ++c)
      counts[c] = mean_[c] > 0.0 ? std::poisson_distribution<int32_t>(mean_[c])(random) : 0;
    return counts;
  }

 private:
  EnergyScale scale_;
  DetectorResolution resolution_;
  std::vector<double> mean_;
};

}  // namespace tolvane::test
