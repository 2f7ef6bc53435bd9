#pragma once
// Multi-element spectra made straight from xraylib, independent of the
// program's own line table: every radiative line xraylib knows (all K, L
// and M transitions), sized by its fluorescence production at the
// excitation energy and by a Si detector's efficiency behind an 8 µm Be
// window, Gaussians of the detector's width on a bremsstrahlung-like
// continuum, Si escape peaks (Reed-Ware), pile-up sums of the strongest
// peaks, then Poisson noise from a fixed seed.
#include <xraylib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <vector>

#include "lines/detector_resolution.h"
#include "lines/peak_search.h"

namespace tolvane::test {

struct MixtureLine {
  double energyKev = 0.0;
  double weight = 0.0;  // production x detector efficiency
};

// `error` is taken by reference: it is read only after the call that sets
// it (a copy could be taken before), then freed and cleared for the next.
inline double xrl(double value, xrl_error*& error) {
  if (error != nullptr) {
    xrl_error_free(error);
    error = nullptr;
    return 0.0;
  }
  return std::isfinite(value) ? value : 0.0;
}

// Fraction of photons of this energy that reach and stop in the detector.
inline double detectorEfficiency(double energyKev) {
  xrl_error* e = nullptr;
  const double be = xrl(CS_Total(4, energyKev, &e), e);
  e = nullptr;
  const double si = xrl(CS_Photo(14, energyKev, &e), e);
  const double window = std::exp(-be * 1.848 * 8e-4);
  const double absorbed = 1.0 - std::exp(-si * 2.33 * 0.05);
  return window * absorbed;
}

// Every line of element z excited at `excitationKev` that lies above
// 0.1 keV, weighted as the detector records it.
inline std::vector<MixtureLine> mixtureLines(int z, double excitationKev) {
  std::vector<MixtureLine> out;
  // xraylib's line macros run from KL1_LINE (-1) down through the L and M
  // transitions; a line it does not hold reports an error.
  for (int code = -1; code >= -383; --code) {
    xrl_error* e = nullptr;
    const double energy = xrl(LineEnergy(z, code, &e), e);
    if (energy < 0.1 || energy >= excitationKev) continue;
    e = nullptr;
    const double production = xrl(CS_FluorLine_Kissel_Cascade(z, code, excitationKev, &e), e);
    if (production <= 0.0) continue;
    out.push_back({energy, production * detectorEfficiency(energy)});
  }
  return out;
}

// Reed and Ware's escape fraction of Si K-alpha for a photon of energy E.
inline double escapeFraction(double energyKev) {
  if (energyKev <= 1.839) return 0.0;
  xrl_error* e = nullptr;
  const double yield = xrl(FluorYield(14, K_SHELL, &e), e);
  e = nullptr;
  const double jump = xrl(JumpFactor(14, K_SHELL, &e), e);
  e = nullptr;
  const double muIn = xrl(CS_Total(14, energyKev, &e), e);
  e = nullptr;
  const double muOut = xrl(CS_Total(14, 1.740, &e), e);
  if (jump <= 1.0 || muIn <= 0.0 || muOut <= 0.0) return 0.0;
  const double r = muOut / muIn;
  return 0.5 * yield * (1.0 - 1.0 / jump) * (1.0 - r * std::log1p(1.0 / r));
}

class XraylibMixture {
 public:
  XraylibMixture(int32_t channels, EnergyScale scale, double excitationKev)
      : scale_(scale), excitation_(excitationKev), mean_(static_cast<size_t>(channels), 0.0) {}

  const EnergyScale& scale() const { return scale_; }
  int32_t size() const { return static_cast<int32_t>(mean_.size()); }
  double excitation() const { return excitation_; }

  // Element z, its lines scaled so that its strongest recorded line holds
  // `area` counts.
  void addElement(int z, double area) {
    const std::vector<MixtureLine> lines = mixtureLines(z, excitation_);
    double strongest = 0.0;
    for (const MixtureLine& l : lines) strongest = std::max(strongest, l.weight);
    if (strongest <= 0.0) return;
    for (const MixtureLine& l : lines) {
      const double a = area * l.weight / strongest;
      peaks_.push_back({l.energyKev, a, z});
      const double escape = a * escapeFraction(l.energyKev);
      if (escape > 0.0) peaks_.push_back({l.energyKev - 1.740, escape, 0});
    }
  }

  // Bremsstrahlung shape (E0 - E) / E through the detector's efficiency,
  // `perChannel` counts per channel at 3 keV.
  void addContinuum(double perChannel) {
    const double at3 = (excitation_ - 3.0) / 3.0 * detectorEfficiency(3.0);
    for (int32_t c = 0; c < size(); ++c) {
      const double e = scale_.energy(c);
      if (e < 0.15 || e >= excitation_) continue;
      continuum_.resize(mean_.size(), 0.0);
      continuum_[static_cast<size_t>(c)] = perChannel * (excitation_ - e) / e * detectorEfficiency(e) / at3;
    }
  }

  // Pile-up: every pair of the `strongest` largest peaks sums, the largest
  // peak's own sum holding `fraction` of it.
  void addPileUp(double fraction, size_t strongest = 4) {
    std::vector<Peak> top = peaks_;
    std::sort(top.begin(), top.end(), [](const Peak& a, const Peak& b) { return a.area > b.area; });
    if (top.empty()) return;
    top.resize(std::min(top.size(), strongest));
    const double c = fraction / top.front().area;
    for (size_t i = 0; i < top.size(); ++i)
      for (size_t j = i; j < top.size(); ++j)
        sums_.push_back({top[i].energyKev + top[j].energyKev, c * top[i].area * top[j].area * (i == j ? 1.0 : 2.0), 0});
  }

  // The net area of element z's strongest line group (its lines within
  // half a FWHM of each other pooled) over the noise of the counts under
  // one FWHM there: how clearly the element shows.
  double bestSignificance(int z) const {
    const std::vector<double> mean = expected();
    double best = 0.0;
    for (const Peak& p : peaks_) {
      if (p.z != z) continue;
      double net = 0.0;
      const double fwhm = resolution_.fwhmKev(p.energyKev);
      for (const Peak& q : peaks_)
        if (q.z == z && std::fabs(q.energyKev - p.energyKev) < 0.5 * fwhm) net += q.area;
      const double half = 0.5 * fwhm / scale_.gain;
      const double centre = scale_.channel(p.energyKev);
      double under = 0.0;
      for (long c = std::lround(centre - half); c <= std::lround(centre + half); ++c)
        if (c >= 0 && c < size()) under += mean[static_cast<size_t>(c)];
      if (under > 0.0) best = std::max(best, 0.76 * net / std::sqrt(under));
    }
    return best;
  }

  std::vector<int32_t> draw(unsigned seed) const {
    const std::vector<double> mean = expected();
    std::mt19937 random(seed);
    std::vector<int32_t> counts(mean.size());
    for (size_t c = 0; c < mean.size(); ++c)
      counts[c] = mean[c] > 0.0 ? std::poisson_distribution<int32_t>(mean[c])(random) : 0;
    return counts;
  }

 private:
  struct Peak {
    double energyKev;
    double area;
    int z;  // 0 for escape and sum peaks
  };

  std::vector<double> expected() const {
    std::vector<double> mean = mean_;
    if (!continuum_.empty())
      for (size_t c = 0; c < mean.size(); ++c) mean[c] += continuum_[c];
    for (const std::vector<Peak>* list : {&peaks_, &sums_})
      for (const Peak& p : *list) {
        const double sigma = resolution_.fwhmKev(p.energyKev) / 2.3548200450309493 / scale_.gain;
        const double centre = scale_.channel(p.energyKev);
        const long lo = std::max<long>(0, std::lround(centre - 8 * sigma));
        const long hi = std::min<long>(size() - 1, std::lround(centre + 8 * sigma));
        for (long c = lo; c <= hi; ++c) {
          const double d = (c - centre) / sigma;
          mean[static_cast<size_t>(c)] += p.area * std::exp(-0.5 * d * d) / (sigma * 2.5066282746310002);
        }
      }
    return mean;
  }

  EnergyScale scale_;
  double excitation_;
  DetectorResolution resolution_{0.135, 5.899};
  std::vector<double> mean_;
  std::vector<double> continuum_;
  std::vector<Peak> peaks_;
  std::vector<Peak> sums_;
};

}  // namespace tolvane::test
