#include "device/sim/phantom.h"

#include <algorithm>

namespace tolvane {

SimSample phantomSample(const Phantom& p, int32_t x, int32_t y) {
  const double u = (x + 0.5) / p.width, v = (y + 0.5) / p.height;
  const double side = std::min(p.width, p.height);
  const auto inDisc = [&](double cu, double cv, double radius) {
    const double dx = (u - cu) * p.width, dy = (v - cv) * p.height;
    return dx * dx + dy * dy <= radius * radius * side * side;
  };
  if (inDisc(0.25, 0.3, 0.18)) return SimSample::Ca;
  if (inDisc(0.72, 0.3, 0.15)) return SimSample::Ti;
  if (u >= 0.45 && u < 0.55 && v < 0.55) return SimSample::Cr;
  if (v >= 0.65 && v < 0.8) return SimSample::V;
  return SimSample::None;
}

SpectrumModelConfig phantomRegionModel(SpectrumModelConfig base, SimSample sample) {
  base.sample = sample;
  if (sample == SimSample::None) return base;
  // The share of the source above the element's K edge, from the model
  // itself: the K-alpha1 it gives a unit weight.
  base.sampleWeight = 1.0;
  const SpectrumModel probe(base);
  const double share = probe.lines().size() > 3 ? probe.lines()[3].weight : 0.0;
  base.sampleWeight = share > 0 ? kPhantomKAlpha1 / share : 0.0;
  return base;
}

}  // namespace tolvane
