#pragma once
// The physical spectrum the simulated analyser draws its events from: an
// Fe-55 source (Mn K-alpha1, K-alpha2 at half intensity, K-beta), a few
// fluorescence lines of a steel sample holder and a smooth continuum, seen
// through a detector whose resolution grows with the square root of energy.
// The analyser's full scale is 40.96 keV, so 4096 channels are 10 eV each
// and Mn K-alpha1 lands near channel 590.
#include <vector>

namespace tolvane {

struct SpectrumModelConfig {
  double fullScaleEv = 40960.0;
  double fwhmEvAtMnKa = 145.0;    // FWHM at 5.899 keV
  double continuumWeight = 0.35;  // relative to Mn K-alpha1 = 1
};

struct EmissionLine {
  double energyEv;
  double weight;  // relative to Mn K-alpha1
};

class SpectrumModel {
 public:
  static constexpr double kMnKAlpha1Ev = 5899.0;
  static constexpr double kMnKAlpha2Ev = 5888.0;
  static constexpr double kMnKBetaEv = 6490.0;

  explicit SpectrumModel(SpectrumModelConfig config = {}) : config_(config) {}

  const SpectrumModelConfig& config() const { return config_; }
  static const std::vector<EmissionLine>& lines();

  double evPerChannel(int channels) const { return config_.fullScaleEv / channels; }
  double fwhmEv(double energyEv) const;
  // Channel (as a continuous position, centre of channel c is c + 0.5)
  // where an energy falls for a memory of `channels` channels.
  double channelPosition(double energyEv, int channels) const { return energyEv / evPerChannel(channels); }
  // Relative probability of an event landing in each channel.
  std::vector<double> channelWeights(int channels) const;

 private:
  SpectrumModelConfig config_;
};

}  // namespace tolvane
