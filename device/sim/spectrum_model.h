#pragma once
// The physical spectrum the simulated analyser draws its events from. The
// source is Fe-55, which decays by electron capture to Mn and so emits Mn K
// X-rays only (K-alpha1, K-alpha2 at half its intensity, K-beta); nothing
// above 6.49 keV, so iron or copper around it cannot be excited. A sample
// in front of it fluoresces with the K lines of elements whose K edge lies
// below the Mn K lines (Ca, Ti, V; Cr only through Mn K-beta), with the
// intensities the fundamental-parameter model (quant/fluorescence_model.h)
// gives for its composition under these source lines. The silicon
// detector adds an escape peak 1.74 keV below each line, a low-energy
// continuum from incompletely collected charge and scatter, and a
// resolution whose electronic noise adds in quadrature to the Fano term.
// The analyser's full scale is 40.96 keV, so 4096 channels are 10 eV each
// and Mn K-alpha1 lands near channel 590.
#include <optional>
#include <string>
#include <vector>

#include "quant/xray_data.h"

namespace tolvane {

// The sample in front of the source; None is the bare source.
enum class SimSample { None, Ca, Ti, V, Cr };

const char* simSampleName(SimSample sample);  // "none", "Ca", "Ti", "V", "Cr"
// The sample of a name as simSampleName gives it (case-insensitive).
std::optional<SimSample> simSampleFromName(const std::string& name);

struct SpectrumModelConfig {
  double fullScaleEv = 40960.0;
  double fwhmEvAtMnKa = 145.0;    // FWHM at 5.899 keV, Fano term and noise together
  double continuumWeight = 0.08;  // relative to Mn K-alpha1 = 1
  SimSample sample = SimSample::None;
  // A thick sample of these elements and mass fractions (an element the
  // source cannot excite, such as Fe, only absorbs); when empty, the pure
  // element `sample` names.
  std::vector<ElementFraction> composition;
  // Pure Ti's K-alpha1 relative to Mn K-alpha1: the geometry's share, the
  // same for every element and composition.
  double sampleWeight = 0.6;
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
  static constexpr double kSiKAlphaEv = 1740.0;  // what an escape carries off
  static constexpr double kSiKEdgeEv = 1839.0;   // lines below it cannot escape
  static constexpr double kFanoFactor = 0.115;
  static constexpr double kEvPerPair = 3.64;  // silicon

  explicit SpectrumModel(SpectrumModelConfig config = {});

  const SpectrumModelConfig& config() const { return config_; }
  // The lines the detector sees: the source's, then the sample's.
  const std::vector<EmissionLine>& lines() const { return lines_; }
  // The escape peaks of those lines (E - 1.74 keV), weighted.
  const std::vector<EmissionLine>& escapes() const { return escapes_; }

  double evPerChannel(int channels) const { return config_.fullScaleEv / channels; }
  // FWHM at an energy: sqrt(noise^2 + 2.355^2 F e E).
  double fwhmEv(double energyEv) const;
  double noiseFwhmEv() const { return noiseFwhmEv_; }
  // Fraction of photons of an energy that lose a Si K-alpha photon.
  static double escapeFraction(double energyEv);
  // Channel (as a continuous position, centre of channel c is c + 0.5)
  // where an energy falls for a memory of `channels` channels.
  double channelPosition(double energyEv, int channels) const { return energyEv / evPerChannel(channels); }
  // Events per second with this sample over those of the bare source: a
  // sample adds its lines (and their escapes) to what the source sends.
  double rateOverBareSource() const;
  // Relative probability of an event landing in each channel.
  std::vector<double> channelWeights(int channels) const;

 private:
  SpectrumModelConfig config_;
  double noiseFwhmEv_ = 0.0;
  std::vector<EmissionLine> lines_;
  std::vector<EmissionLine> escapes_;
};

}  // namespace tolvane
