#include "quant/fluorescence_model.h"

#include <algorithm>
#include <cmath>

#include "quant/secondary_depth_integral.h"
#include "quant/xray_data.h"

namespace tolvane {

namespace {

constexpr double kPi = 3.14159265358979323846;

// The yield-weighted mean energy of a group of lines; 0 when the element
// emits none of them.
double meanEnergy(int z, std::span<const int> lines) {
  double sum = 0.0, weight = 0.0;
  for (const int line : lines) {
    const double energy = lineEnergy(z, line);
    // The production at an energy well above every edge gives the lines'
    // shares within the group.
    const double share = lineCrossSection(z, line, 150.0);
    if (energy > 0.0 && share > 0.0) {
      sum += energy * share;
      weight += share;
    }
  }
  return weight > 0.0 ? sum / weight : 0.0;
}

}  // namespace

FluorescenceModel::FluorescenceModel(std::vector<int> elements, std::vector<AnalyteLine> analytes, ExcitationBeam beam,
                                     Geometry geometry)
    : elements_(std::move(elements)), analytes_(std::move(analytes)), beam_(std::move(beam)) {
  sinIn_ = std::sin(geometry.incidenceDeg * kPi / 180.0);
  sinOut_ = std::sin(geometry.takeoffDeg * kPi / 180.0);
  for (const AnalyteLine& a : analytes_)
    if (elementIndex(a.z) < 0) elements_.push_back(a.z);
  const size_t n = elements_.size();
  const size_t beamLines = beam_.lines.size();

  muAtBeam_.assign(n, std::vector<double>(beamLines, 0.0));
  for (size_t e = 0; e < n; ++e)
    for (size_t k = 0; k < beamLines; ++k) muAtBeam_[e][k] = massAttenuation(elements_[e], beam_.lines[k].energyKev);

  // Every K and L group of every element that the beam excites.
  std::vector<double> enhancerEnergies;
  for (size_t e = 0; e < n; ++e) {
    for (const std::span<const int> group : enhancerGroups()) {
      const double energy = meanEnergy(elements_[e], group);
      if (energy <= 0.0) continue;
      Enhancer enhancer{e, std::vector<double>(beamLines, 0.0), std::vector<double>(n, 0.0)};
      bool any = false;
      for (size_t k = 0; k < beamLines; ++k) {
        for (const int line : group)
          enhancer.yieldAtBeam[k] += lineCrossSection(elements_[e], line, beam_.lines[k].energyKev);
        any = any || enhancer.yieldAtBeam[k] > 0.0;
      }
      if (!any) continue;
      for (size_t m = 0; m < n; ++m) enhancer.muAt[m] = massAttenuation(elements_[m], energy);
      enhancers_.push_back(std::move(enhancer));
      enhancerEnergies.push_back(energy);
    }
  }

  for (const AnalyteLine& analyte : analytes_) {
    AnalyteData data;
    data.element = static_cast<size_t>(elementIndex(analyte.z));
    bool excited = false;
    for (const int line : groupLines(analyte.group)) {
      const double energy = lineEnergy(analyte.z, line);
      if (energy <= 0.0) continue;
      std::vector<double> tau(beamLines, 0.0);
      for (size_t k = 0; k < beamLines; ++k) {
        tau[k] = lineCrossSection(analyte.z, line, beam_.lines[k].energyKev);
        excited = excited || (tau[k] > 0.0 && beam_.lines[k].weight > 0.0);
      }
      std::vector<double> mu(n, 0.0);
      for (size_t m = 0; m < n; ++m) mu[m] = massAttenuation(elements_[m], energy);
      data.energies.push_back(energy);
      data.tauAtBeam.push_back(std::move(tau));
      data.muAtLine.push_back(std::move(mu));
    }
    const double groupEnergy = meanEnergy(analyte.z, groupLines(analyte.group));
    data.muAtGroup.assign(n, 0.0);
    if (groupEnergy > 0.0)
      for (size_t m = 0; m < n; ++m) data.muAtGroup[m] = massAttenuation(elements_[m], groupEnergy);
    for (size_t j = 0; j < enhancers_.size(); ++j) {
      double tau = 0.0;
      for (const int line : groupLines(analyte.group)) tau += lineCrossSection(analyte.z, line, enhancerEnergies[j]);
      if (tau > 0.0) {
        data.enhancers.push_back(j);
        data.tauAtEnhancer.push_back(tau);
      }
    }
    excited_.push_back(excited);
    analyteData_.push_back(std::move(data));
  }
}

int FluorescenceModel::elementIndex(int z) const {
  const auto it = std::find(elements_.begin(), elements_.end(), z);
  return it == elements_.end() ? -1 : static_cast<int>(it - elements_.begin());
}

std::vector<LineIntensity> FluorescenceModel::intensities(std::span<const double> fractions,
                                                          double arealDensity) const {
  const size_t n = elements_.size();
  const size_t beamLines = beam_.lines.size();
  auto sampleMu = [&](const std::vector<double>& perElement) {
    double mu = 0.0;
    for (size_t e = 0; e < n && e < fractions.size(); ++e) mu += fractions[e] * perElement[e];
    return mu;
  };
  std::vector<double> muBeam(beamLines, 0.0);
  for (size_t e = 0; e < n && e < fractions.size(); ++e)
    for (size_t k = 0; k < beamLines; ++k) muBeam[k] += fractions[e] * muAtBeam_[e][k];
  std::vector<double> muEnhancer(enhancers_.size(), 0.0);
  for (size_t j = 0; j < enhancers_.size(); ++j) muEnhancer[j] = sampleMu(enhancers_[j].muAt);

  // ln(1 + a/m) / a of each enhancer and beam line, shared by the analytes.
  std::vector<std::vector<double>> inTerms(enhancers_.size());
  std::vector<LineIntensity> out(analytes_.size());
  for (size_t a = 0; a < analytes_.size(); ++a) {
    const AnalyteData& data = analyteData_[a];
    const double wi = data.element < fractions.size() ? fractions[data.element] : 0.0;
    if (!excited_[a] || wi <= 0.0) continue;
    LineIntensity& result = out[a];
    for (size_t l = 0; l < data.energies.size(); ++l) {
      const double out2 = sampleMu(data.muAtLine[l]) / sinOut_;
      for (size_t k = 0; k < beamLines; ++k) {
        const double tau = data.tauAtBeam[l][k];
        if (tau <= 0.0) continue;
        result.primary += beam_.lines[k].weight * wi * tau / sinIn_ *
                          primaryDepthIntegral(muBeam[k] / sinIn_ + out2, arealDensity);
      }
    }
    const double outGroup = sampleMu(data.muAtGroup) / sinOut_;
    for (size_t p = 0; p < data.enhancers.size(); ++p) {
      const size_t j = data.enhancers[p];
      const Enhancer& enhancer = enhancers_[j];
      const double wj = enhancer.element < fractions.size() ? fractions[enhancer.element] : 0.0;
      if (wj <= 0.0) continue;
      const double toAnalyte = 0.5 * wi * data.tauAtEnhancer[p];
      const double muJ = muEnhancer[j];
      // A thick sample: secondaryDepthIntegral's closed form, with the
      // beam's term kept per enhancer and the analyte's taken once.
      const bool thick = !(arealDensity > 0.0) || !std::isfinite(arealDensity);
      const double outTerm = std::log1p(outGroup / muJ) / outGroup;
      if (thick && inTerms[j].empty()) {
        inTerms[j].assign(beamLines, 0.0);
        for (size_t k = 0; k < beamLines; ++k)
          if (enhancer.yieldAtBeam[k] > 0.0) inTerms[j][k] = std::log1p(muBeam[k] / sinIn_ / muJ) / (muBeam[k] / sinIn_);
      }
      for (size_t k = 0; k < beamLines; ++k) {
        const double made = enhancer.yieldAtBeam[k];
        if (made <= 0.0) continue;
        const double a = muBeam[k] / sinIn_;
        const double depth =
            thick ? (inTerms[j][k] + outTerm) / (a + outGroup) : secondaryDepthIntegral(a, outGroup, muJ, arealDensity);
        result.secondary += beam_.lines[k].weight * wj * made / sinIn_ * toAnalyte * depth;
      }
    }
  }
  return out;
}

}  // namespace tolvane
