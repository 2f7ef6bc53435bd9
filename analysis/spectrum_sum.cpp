#include "analysis/spectrum_sum.h"

#include <cstdint>
#include <limits>

namespace tolvane {

DerivedSpectrum sumSpectra(const std::vector<SpectrumPart>& parts) {
  DerivedSpectrum d;
  if (parts.empty()) {
    d.refusal = DerivedSpectrum::Refusal::NoSpectra;
    return d;
  }
  const SpectrumPart& first = parts.front();
  const size_t n = first.counts.size();
  std::vector<int64_t> sum(n, 0);
  int64_t live = 0, real = 0, preset = 0;
  const auto refuse = [&d](DerivedSpectrum::Refusal why, size_t part) {
    d.refusal = why;
    d.part = static_cast<int>(part);
    return d;
  };
  for (size_t p = 0; p < parts.size(); ++p) {
    const SpectrumPart& part = parts[p];
    if (part.counts.size() != n) return refuse(DerivedSpectrum::Refusal::ChannelsDiffer, p);
    if (!calibrationsAgree(first.header, part.header)) return refuse(DerivedSpectrum::Refusal::CalibrationsDiffer, p);
    for (size_t c = 0; c < n; ++c) {
      sum[c] += part.counts[c];
      if (sum[c] > std::numeric_limits<int32_t>::max() || sum[c] < std::numeric_limits<int32_t>::min())
        return refuse(DerivedSpectrum::Refusal::CountOverflow, p);
    }
    live += part.header.liveTime();
    real += part.header.realTime();
    preset += part.header.presetTime();
    for (const int64_t t : {live, real, preset})
      if (t > std::numeric_limits<int32_t>::max() || t < std::numeric_limits<int32_t>::min())
        return refuse(DerivedSpectrum::Refusal::TimeOverflow, p);
  }

  d.header = first.header;
  d.header.setLiveTime(static_cast<int32_t>(live));
  d.header.setRealTime(static_cast<int32_t>(real));
  d.header.setPresetTime(static_cast<int32_t>(preset));
  d.counts.assign(sum.begin(), sum.end());
  std::string names;
  for (const SpectrumPart& part : parts) names += (names.empty() ? "" : "+") + part.name;
  d.description = "sum of " + std::to_string(parts.size()) + " spectra: " + names;
  d.header.setComment(commentFitting("sum " + names, "sum of " + std::to_string(parts.size()) + " spectra"));
  return d;
}

}  // namespace tolvane
