#include "device/sim/spectrum_model.h"

#include <xraylib.h>

#include <algorithm>
#include <cctype>
#include <cmath>

#include "quant/fluorescence_model.h"

namespace tolvane {

namespace {

constexpr double kFwhmPerSigma = 2.3548200450309493;

struct SampleName {
  SimSample sample;
  const char* name;
  int z;
};

constexpr SampleName kSamples[] = {
    {SimSample::Ca, "Ca", 20},
    {SimSample::Ti, "Ti", 22},
    {SimSample::V, "V", 23},
    {SimSample::Cr, "Cr", 24},
};

const SampleName* sampleName(SimSample sample) {
  for (const SampleName& s : kSamples)
    if (s.sample == sample) return &s;
  return nullptr;
}

constexpr int kTitanium = 22;

// The sample's K-alpha1, K-alpha2 and K-beta lines under the source lines,
// from the fluorescence model (primary and secondary), scaled so that pure
// Ti's K-alpha1 has `weightOfPureTi`.
std::vector<EmissionLine> sampleLines(const std::vector<ElementFraction>& composition,
                                      const std::vector<EmissionLine>& source, double weightOfPureTi) {
  ExcitationBeam beam;
  for (const EmissionLine& line : source) beam.lines.push_back({line.energyEv * 1e-3, line.weight});
  std::vector<int> elements;
  std::vector<AnalyteLine> analytes;
  for (const ElementFraction& f : composition) {
    elements.push_back(f.z);
    analytes.push_back({f.z, LineGroup::KAlpha});
    analytes.push_back({f.z, LineGroup::KBeta});
  }
  if (std::find(elements.begin(), elements.end(), kTitanium) == elements.end()) elements.push_back(kTitanium);
  analytes.push_back({kTitanium, LineGroup::KAlpha});
  const FluorescenceModel model(elements, analytes, beam);
  std::vector<double> fractions(model.elements().size(), 0.0);
  for (const ElementFraction& f : composition) fractions[static_cast<size_t>(model.elementIndex(f.z))] += f.fraction;
  std::vector<double> pureTi(model.elements().size(), 0.0);
  pureTi[static_cast<size_t>(model.elementIndex(kTitanium))] = 1.0;
  const auto sample = model.intensities(fractions);
  const auto reference = model.intensities(pureTi);

  // K-alpha1's share of the K-alpha pair, from their production.
  auto alpha1Share = [](int z) {
    const double a1 = lineCrossSection(z, KL3_LINE, 10.0), a2 = lineCrossSection(z, KL2_LINE, 10.0);
    return a1 + a2 > 0.0 ? a1 / (a1 + a2) : 1.0;
  };
  const double tiAlpha = reference.back().total() * alpha1Share(kTitanium);
  std::vector<EmissionLine> out;
  if (!(tiAlpha > 0.0)) return out;
  const double scale = weightOfPureTi / tiAlpha;
  for (size_t i = 0; i < composition.size(); ++i) {
    const int z = composition[i].z;
    const double alpha = sample[2 * i].total() * scale, beta = sample[2 * i + 1].total() * scale;
    if (!(alpha > 0.0)) continue;
    const double share = alpha1Share(z);
    out.push_back({lineEnergy(z, KL3_LINE) * 1e3, alpha * share});
    out.push_back({lineEnergy(z, KL2_LINE) * 1e3, alpha * (1.0 - share)});
    if (beta > 0.0) out.push_back({lineEnergy(z, KM3_LINE) * 1e3, beta});
  }
  return out;
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
  const SampleName* name = sampleName(sample);
  return name ? name->name : "none";
}

std::optional<SimSample> simSampleFromName(const std::string& name) {
  std::string lower;
  for (const char c : name) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "none") return SimSample::None;
  for (const SampleName& s : kSamples) {
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
  std::vector<ElementFraction> composition = config_.composition;
  if (const SampleName* name = sampleName(config_.sample); name && composition.empty())
    composition.push_back({name->z, 1.0});
  if (!composition.empty()) {
    const std::vector<EmissionLine> source = lines_;
    for (const EmissionLine& line : sampleLines(composition, source, config_.sampleWeight)) lines_.push_back(line);
  }
  for (const EmissionLine& line : lines_)
    if (line.energyEv > kSiKEdgeEv)
      escapes_.push_back({line.energyEv - kSiKAlphaEv, line.weight * escapeFraction(line.energyEv)});
}

double SpectrumModel::rateOverBareSource() const {
  SpectrumModelConfig bareConfig = config_;
  bareConfig.sample = SimSample::None;
  bareConfig.composition.clear();
  const SpectrumModel bare(bareConfig);
  auto total = [](const SpectrumModel& m) {
    double sum = m.config().continuumWeight;
    for (const EmissionLine& line : m.lines()) sum += line.weight;
    for (const EmissionLine& line : m.escapes()) sum += line.weight;
    return sum;
  };
  return total(*this) / total(bare);
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
