#include "analysis/spectrum_subtract.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace tolvane {

namespace {
std::string threeDecimals(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}
}  // namespace

SubtractedSpectrum subtractBackground(const SpectrumPart& sample, const SpectrumPart& background) {
  SubtractedSpectrum out;
  DerivedSpectrum& d = out.spectrum;
  const auto refuse = [&](DerivedSpectrum::Refusal why, int part) {
    d.refusal = why;
    d.part = part;
    return out;
  };
  if (background.counts.size() != sample.counts.size()) return refuse(DerivedSpectrum::Refusal::ChannelsDiffer, 1);
  if (!calibrationsAgree(sample.header, background.header))
    return refuse(DerivedSpectrum::Refusal::CalibrationsDiffer, 1);
  if (sample.header.liveTime() <= 0) return refuse(DerivedSpectrum::Refusal::NoLiveTime, 0);
  if (background.header.liveTime() <= 0) return refuse(DerivedSpectrum::Refusal::NoLiveTime, 1);

  const double r = static_cast<double>(sample.header.liveTime()) / background.header.liveTime();
  const size_t n = sample.counts.size();
  d.counts.resize(n);
  d.variance.resize(n);
  for (size_t c = 0; c < n; ++c) {
    const double net = std::round(sample.counts[c] - r * background.counts[c]);
    if (net > std::numeric_limits<int32_t>::max() || net < std::numeric_limits<int32_t>::min())
      return refuse(DerivedSpectrum::Refusal::CountOverflow, 0);
    d.counts[c] = static_cast<int32_t>(net);
    // A negative count is no Poisson count; it adds no variance.
    d.variance[c] = std::max(sample.counts[c], 0) + r * r * std::max(background.counts[c], 0);
  }
  d.header = sample.header;
  const std::string factor = threeDecimals(r);
  d.description = sample.name + " - " + factor + " x " + background.name + " (live times " +
                  threeDecimals(sample.header.liveTime() / 10.0) + " s and " +
                  threeDecimals(background.header.liveTime() / 10.0) + " s)";
  d.header.setComment(commentFitting(sample.name + "-" + factor + "x" + background.name, "net, bg x" + factor));
  out.scale = r;
  return out;
}

}  // namespace tolvane
