#include "lines/pileup_peaks.h"

#include <algorithm>
#include <cstdio>

#include "lines/line_data.h"

namespace tolvane {

std::vector<ParentPeak> parentPeaks(const Identification& id) {
  std::vector<ParentPeak> out;
  for (const PeakIdentity& p : id.peaks) {
    char energy[32];
    std::snprintf(energy, sizeof energy, "%.3f keV", p.peak.energyKev);
    const std::string label =
        p.candidates.empty() ? std::string(energy) : p.candidates.front().line.element + " " + p.candidates.front().line.group;
    out.push_back({label, p.peak.energyKev, p.peak.net});
  }
  return out;
}

std::vector<ArtefactPeak> artefactPeaks(std::vector<ParentPeak> peaks, double liveSeconds, double topKev,
                                        double resolvingTime, size_t parents) {
  std::stable_sort(peaks.begin(), peaks.end(), [](const ParentPeak& a, const ParentPeak& b) { return a.net > b.net; });
  if (peaks.size() > parents) peaks.resize(parents);
  const bool timed = liveSeconds > 0.0;
  std::vector<ArtefactPeak> out;
  for (size_t i = 0; i < peaks.size(); ++i) {
    const ParentPeak& a = peaks[i];
    if (a.energyKev > kSiKEdgeKev) {
      const double fraction = siEscapeFraction(a.energyKev);
      out.push_back({ArtefactPeak::Kind::Escape, a.label + " esc", a.energyKev - kSiEscapeKev,
                     fraction * std::max(a.net, 0.0)});
    }
    for (size_t j = i; j < peaks.size(); ++j) {
      const ParentPeak& b = peaks[j];
      const double energy = a.energyKev + b.energyKev;
      if (energy > topKev) continue;
      const double pairs = i == j ? 1.0 : 2.0;
      const double counts = timed ? pairs * resolvingTime * std::max(a.net, 0.0) * std::max(b.net, 0.0) / liveSeconds
                                  : -1.0;
      out.push_back({ArtefactPeak::Kind::Sum, i == j ? "2×" + a.label : a.label + "+" + b.label, energy, counts});
    }
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const ArtefactPeak& a, const ArtefactPeak& b) { return a.energyKev < b.energyKev; });
  return out;
}

}  // namespace tolvane
