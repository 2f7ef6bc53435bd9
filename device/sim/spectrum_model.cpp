#include "device/sim/spectrum_model.h"

#include <algorithm>
#include <cmath>

namespace tolvane {

const std::vector<EmissionLine>& SpectrumModel::lines() {
  static const std::vector<EmissionLine> kLines = {
      {kMnKAlpha1Ev, 1.0}, {kMnKAlpha2Ev, 0.5}, {kMnKBetaEv, 0.2}, {5415.0, 0.06},  // Cr K-alpha
      {6404.0, 0.12},                                                               // Fe K-alpha
      {7058.0, 0.02},                                                               // Fe K-beta
      {8048.0, 0.05},                                                               // Cu K-alpha
      {4159.0, 0.01},                                                               // Si escape of Mn K-alpha
  };
  return kLines;
}

double SpectrumModel::fwhmEv(double energyEv) const {
  return config_.fwhmEvAtMnKa * std::sqrt(std::max(energyEv, 1.0) / kMnKAlpha1Ev);
}

std::vector<double> SpectrumModel::channelWeights(int channels) const {
  std::vector<double> weights(static_cast<size_t>(channels), 0.0);
  const double width = evPerChannel(channels);
  constexpr double kFwhmToSigma = 1.0 / 2.3548200450309493;

  for (const EmissionLine& line : lines()) {
    const double sigma = fwhmEv(line.energyEv) * kFwhmToSigma;
    const double scale = 1.0 / (sigma * std::sqrt(2.0));
    // Only channels within eight sigma carry measurable probability.
    const int lo = std::max(0, static_cast<int>((line.energyEv - 8 * sigma) / width));
    const int hi = std::min(channels - 1, static_cast<int>((line.energyEv + 8 * sigma) / width));
    for (int c = lo; c <= hi; ++c) {
      const double a = (c * width - line.energyEv) * scale;
      const double b = ((c + 1) * width - line.energyEv) * scale;
      weights[static_cast<size_t>(c)] += line.weight * 0.5 * (std::erf(b) - std::erf(a));
    }
  }

  // Continuum: a smooth hump rising from 1 keV, peaking near 3 keV and
  // falling off towards 20 keV, normalised to its weight.
  std::vector<double> continuum(static_cast<size_t>(channels), 0.0);
  double sum = 0.0;
  for (int c = 0; c < channels; ++c) {
    const double e = (c + 0.5) * width / 1000.0;  // keV
    const double v = e > 1.0 ? (e - 1.0) * std::exp(-e / 3.0) : 0.0;
    continuum[static_cast<size_t>(c)] = v;
    sum += v;
  }
  if (sum > 0)
    for (int c = 0; c < channels; ++c)
      weights[static_cast<size_t>(c)] += config_.continuumWeight * continuum[static_cast<size_t>(c)] / sum;
  return weights;
}

}  // namespace tolvane
