#include "device/sim/spectrum_model.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace tolvane {

namespace {

constexpr double kFwhmPerSigma = 2.3548200450309493;

struct SampleLines {
  SimSample sample;
  const char* name;
  double kEdgeEv;
  double kAlpha1Ev, kAlpha2Ev, kBetaEv;
};

// K-alpha2 at half of K-alpha1 and K-beta at 0.13 of the K-alpha pair, as
// for the first-row transition metals.
constexpr SampleLines kSamples[] = {
    {SimSample::Ca, "Ca", 4038.5, 3691.7, 3688.1, 4012.7},
    {SimSample::Ti, "Ti", 4966.4, 4510.8, 4504.9, 4931.8},
    {SimSample::V, "V", 5465.1, 4952.2, 4944.6, 5427.3},
    {SimSample::Cr, "Cr", 5989.2, 5414.7, 5405.5, 5946.7},
};

const SampleLines* sampleLines(SimSample sample) {
  for (const SampleLines& s : kSamples)
    if (s.sample == sample) return &s;
  return nullptr;
}

double fanoVariance(double energyEv) {
  return kFwhmPerSigma * kFwhmPerSigma * SpectrumModel::kFanoFactor * SpectrumModel::kEvPerPair *
         std::max(energyEv, 0.0);
}

// Adds the probability of a Gaussian of `weight` at `energyEv` falling into
// each channel of width `width`.
void addGaussian(std::vector<double>& weights, double width, double energyEv, double fwhmEv, double weight) {
  const int channels = static_cast<int>(weights.size());
  const double sigma = fwhmEv / kFwhmPerSigma;
  const double scale = 1.0 / (sigma * std::sqrt(2.0));
  // Only channels within eight sigma carry measurable probability.
  const int lo = std::max(0, static_cast<int>((energyEv - 8 * sigma) / width));
  const int hi = std::min(channels - 1, static_cast<int>((energyEv + 8 * sigma) / width));
  for (int c = lo; c <= hi; ++c) {
    const double a = (c * width - energyEv) * scale;
    const double b = ((c + 1) * width - energyEv) * scale;
    weights[static_cast<size_t>(c)] += weight * 0.5 * (std::erf(b) - std::erf(a));
  }
}

}  // namespace

const char* simSampleName(SimSample sample) {
  const SampleLines* lines = sampleLines(sample);
  return lines ? lines->name : "none";
}

std::optional<SimSample> simSampleFromName(const std::string& name) {
  std::string lower;
  for (const char c : name) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "none") return SimSample::None;
  for (const SampleLines& s : kSamples) {
    std::string own;
    for (const char* p = s.name; *p; ++p) own += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    if (lower == own) return s.sample;
  }
  return std::nullopt;
}

SpectrumModel::SpectrumModel(SpectrumModelConfig config) : config_(config) {
  const double total = config_.fwhmEvAtMnKa * config_.fwhmEvAtMnKa;
  noiseFwhmEv_ = std::sqrt(std::max(total - fanoVariance(kMnKAlpha1Ev), 0.0));

  lines_ = {{kMnKAlpha1Ev, 1.0}, {kMnKAlpha2Ev, 0.5}, {kMnKBetaEv, 0.2}};
  if (const SampleLines* sample = sampleLines(config_.sample)) {
    // The sample is excited by the source lines above its K edge, in
    // proportion to their share of the source.
    double sourceTotal = 0.0, exciting = 0.0;
    for (const EmissionLine& line : lines_) {
      sourceTotal += line.weight;
      if (line.energyEv > sample->kEdgeEv) exciting += line.weight;
    }
    const double kAlpha1 = config_.sampleWeight * exciting / sourceTotal;
    if (kAlpha1 > 0.0) {
      lines_.push_back({sample->kAlpha1Ev, kAlpha1});
      lines_.push_back({sample->kAlpha2Ev, 0.5 * kAlpha1});
      lines_.push_back({sample->kBetaEv, 0.13 * 1.5 * kAlpha1});
    }
  }
  for (const EmissionLine& line : lines_)
    if (line.energyEv > kSiKEdgeEv)
      escapes_.push_back({line.energyEv - kSiKAlphaEv, line.weight * escapeFraction(line.energyEv)});
}

double SpectrumModel::fwhmEv(double energyEv) const {
  return std::sqrt(noiseFwhmEv_ * noiseFwhmEv_ + fanoVariance(energyEv));
}

double SpectrumModel::escapeFraction(double energyEv) {
  // About 1 % at Mn K-alpha in a silicon detector; photons of higher energy
  // are absorbed deeper, and the Si K photon escapes less often.
  if (energyEv <= kSiKEdgeEv) return 0.0;
  return 0.01 * std::pow(kMnKAlpha1Ev / energyEv, 1.5);
}

std::vector<double> SpectrumModel::channelWeights(int channels) const {
  std::vector<double> weights(static_cast<size_t>(channels), 0.0);
  const double width = evPerChannel(channels);
  for (const EmissionLine& line : lines_)
    addGaussian(weights, width, line.energyEv, fwhmEv(line.energyEv), line.weight);
  for (const EmissionLine& line : escapes_)
    addGaussian(weights, width, line.energyEv, fwhmEv(line.energyEv), line.weight);

  // Continuum: charge lost at the detector's entrance and photons scattered
  // on their way leave pulses below the lines, most at low energy. It
  // starts above the noise threshold (0.3 keV), falls off with energy and
  // ends at the highest line: the source gives nothing above it.
  double top = 0.0;
  for (const EmissionLine& line : lines_) top = std::max(top, line.energyEv);
  std::vector<double> continuum(static_cast<size_t>(channels), 0.0);
  double sum = 0.0;
  for (int c = 0; c < channels; ++c) {
    const double e = (c + 0.5) * width;
    const double v = e > 300.0 && e < top ? 0.3 + std::exp(-(e - 300.0) / 1500.0) : 0.0;
    continuum[static_cast<size_t>(c)] = v;
    sum += v;
  }
  if (sum > 0)
    for (int c = 0; c < channels; ++c)
      weights[static_cast<size_t>(c)] += config_.continuumWeight * continuum[static_cast<size_t>(c)] / sum;
  return weights;
}

}  // namespace tolvane
