#include "lines/element_proposal.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tolvane {

namespace {

// Below this energy the detector window swallows too much to expect a
// line's absence to mean anything.
constexpr double kLowestCheckedKev = 1.0;
// Intensities across families ignore the detector's efficiency; a family
// may be this much stronger or weaker than its production predicts.
constexpr double kAcrossFamilies = 5.0;
// An escape peak holds a few percent of its line at most; a peak there
// larger than this share of the line's peak is a line of its own.
constexpr double kEscapeAtMost = 0.1;

struct Work {
  const std::vector<FoundPeak>& peaks;
  const int32_t* counts;
  int32_t size;
  const EnergyScale& scale;
  const DetectorResolution& resolution;
  std::vector<double> residual;  // net area not yet explained
  std::vector<bool> settled;     // explained by a sum peak

  double tolerance(double energyKev) const { return std::max(0.5 * resolution.fwhmKev(energyKev), 0.02); }

  int peakAt(double energyKev) const {
    int best = -1;
    double bestDistance = tolerance(energyKev);
    for (size_t i = 0; i < peaks.size(); ++i) {
      const double d = std::fabs(peaks[i].energyKev - energyKev);
      if (d <= bestDistance) {
        best = static_cast<int>(i);
        bestDistance = d;
      }
    }
    return best;
  }

  // A line in the shoulder of a found peak cannot be told apart from it.
  bool hiddenNear(double energyKev) const {
    const double reach = 1.5 * resolution.fwhmKev(energyKev);
    return std::any_of(peaks.begin(), peaks.end(),
                       [&](const FoundPeak& p) { return std::fabs(p.energyKev - energyKev) <= reach; });
  }

  bool inSpectrum(double energyKev) const {
    const double c = scale.channel(energyKev);
    return energyKev >= kLowestCheckedKev && c >= 0.0 && c < size;
  }

  // Counts under one FWHM at this energy: the background a line must beat.
  double backgroundAt(double energyKev) const {
    const double half = 0.5 * resolution.fwhmKev(energyKev) / scale.gain;
    const double centre = scale.channel(energyKev);
    const long lo = std::max<long>(0, std::lround(centre - half));
    const long hi = std::min<long>(size - 1, std::lround(centre + half));
    double sum = 0.0;
    for (long c = lo; c <= hi; ++c) sum += std::max(counts[c], 0);
    return sum;
  }

  bool explained(size_t i) const {
    const FoundPeak& p = peaks[i];
    return settled[i] || residual[i] <= std::max(3.0 * p.netError, 0.2 * p.net);
  }
};

std::vector<XrayLine> familyLines(const std::vector<XrayLine>& lines, LineFamily family) {
  std::vector<XrayLine> out;
  for (const XrayLine& l : lines)
    if (l.family == family && l.kind == LineKind::Emission) out.push_back(l);
  return out;
}

// The area per unit production of a family whose strongest line sits on
// peak `at`: the peak's unexplained area shared among the family's lines
// that fall on it.
double familyScale(const Work& w, const std::vector<XrayLine>& family, int at) {
  double production = 0.0;
  for (const XrayLine& l : family)
    if (w.peakAt(l.energyKev) == at) production += l.production;
  return production > 0.0 ? std::max(w.residual[static_cast<size_t>(at)], 0.0) / production : 0.0;
}

struct Verdict {
  bool consistent = false;
  double score = 0.0;
};

Verdict judge(const Work& w, const std::vector<XrayLine>& lines, const XrayLine& strongest, int at) {
  Verdict v;
  const double scale = familyScale(w, familyLines(lines, strongest.family), at);
  if (scale <= 0.0) return v;
  double support = 0.0;
  for (const XrayLine& l : lines) {
    if (l.kind != LineKind::Emission || w.peakAt(l.energyKev) == at || !w.inSpectrum(l.energyKev)) continue;
    const bool sameFamily = l.family == strongest.family;
    const double expected = scale * l.production / (sameFamily ? 1.0 : kAcrossFamilies);
    const bool visible = expected > 5.0 * std::sqrt(w.backgroundAt(l.energyKev) + 1.0);
    if (const int q = w.peakAt(l.energyKev); q >= 0) {
      // Found, but far smaller than the line alone would make it.
      const FoundPeak& p = w.peaks[static_cast<size_t>(q)];
      if (sameFamily && p.net + 3.0 * p.netError < 0.3 * expected) return v;
      support += sameFamily ? l.relative : 0.5;
    } else if (visible && !w.hiddenNear(l.energyKev)) {
      return v;  // a line that would be strong is missing
    }
  }
  const double distance = std::fabs(strongest.energyKev - w.peaks[static_cast<size_t>(at)].energyKev);
  v.consistent = true;
  v.score = support + 1.0 - distance / w.tolerance(strongest.energyKev);
  return v;
}

// Takes away from every peak what the element's lines explain.
void account(Work& w, const std::vector<XrayLine>& lines, LineFamily primary, int at) {
  const double primaryScale = familyScale(w, familyLines(lines, primary), at);
  std::vector<double> scales(3, 0.0);
  std::vector<double> take(w.peaks.size(), 0.0);
  for (LineFamily f : {LineFamily::K, LineFamily::L, LineFamily::M}) {
    const std::vector<XrayLine> family = familyLines(lines, f);
    if (family.empty()) continue;
    double s = primaryScale;
    if (f != primary) {
      // The family's own strongest line, if it is on a peak, sets its size,
      // within what the production allows.
      const int own = w.peakAt(family.front().energyKev);
      s = own >= 0 ? std::min(familyScale(w, family, own), kAcrossFamilies * primaryScale) : 0.0;
    }
    scales[static_cast<size_t>(f)] = s;
  }
  for (const XrayLine& l : lines) {
    const int q = w.peakAt(l.energyKev);
    if (q < 0) continue;
    if (l.kind == LineKind::Sum) {
      w.settled[static_cast<size_t>(q)] = true;
      continue;
    }
    if (l.kind == LineKind::Escape) {
      // The detector's escape peak of a proposed line: its size depends on
      // the detector more than the tables say, so a peak there is taken as
      // explained while it is small beside the line that makes it.
      const int parent = w.peakAt(l.energyKev + kSiEscapeKev);
      if (parent >= 0 && w.peaks[static_cast<size_t>(q)].net <= kEscapeAtMost * w.peaks[static_cast<size_t>(parent)].net)
        w.settled[static_cast<size_t>(q)] = true;
      continue;
    }
    take[static_cast<size_t>(q)] += scales[static_cast<size_t>(l.family)] * l.production;
  }
  for (size_t i = 0; i < take.size(); ++i) w.residual[i] -= take[i];
}

}  // namespace

Identification identifyPeaks(const std::vector<FoundPeak>& peaks, const int32_t* counts, int32_t size,
                             const EnergyScale& scale, const DetectorResolution& resolution, double maxKev) {
  Identification result;
  Work w{peaks, counts, size, scale, resolution, {}, {}};
  w.residual.resize(peaks.size());
  w.settled.assign(peaks.size(), false);
  for (size_t i = 0; i < peaks.size(); ++i) w.residual[i] = peaks[i].net;

  // Every element's lines, with its detector lines.
  std::vector<std::vector<XrayLine>> elementLines(kLastElement + 1);
  for (const XrayLine& l : allLines(maxKev)) elementLines[static_cast<size_t>(l.z)].push_back(l);

  std::vector<size_t> order(peaks.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return peaks[a].net > peaks[b].net; });

  for (size_t i : order) {
    for (int round = 0; round < 3 && !w.explained(i); ++round) {
      int bestZ = 0;
      LineFamily bestFamily = LineFamily::K;
      double bestScore = -1e300;
      for (int z = kFirstElement; z <= kLastElement; ++z) {
        if (std::find(result.elements.begin(), result.elements.end(), z) != result.elements.end()) continue;
        const std::vector<XrayLine>& lines = elementLines[static_cast<size_t>(z)];
        for (const XrayLine& l : lines) {
          // Lines are stored strongest first within each family.
          if (l.kind != LineKind::Emission || l.relative < 1.0) continue;
          if (w.peakAt(l.energyKev) != static_cast<int>(i)) continue;
          const Verdict v = judge(w, lines, l, static_cast<int>(i));
          if (v.consistent && v.score > bestScore) {
            bestScore = v.score;
            bestZ = z;
            bestFamily = l.family;
          }
        }
      }
      if (bestZ == 0) break;
      result.elements.push_back(bestZ);
      account(w, elementLines[static_cast<size_t>(bestZ)], bestFamily, static_cast<int>(i));
    }
  }

  // Each peak's candidates: the proposed elements' lines first, nearest
  // first, then every other line by closeness and intensity.
  const std::vector<XrayLine> pool = identificationPool(maxKev, result.elements);
  for (const FoundPeak& p : peaks) {
    const double fwhm = resolution.fwhmKev(p.energyKev);
    std::vector<LineCandidate> candidates = candidatesNear(p.energyKev, fwhm, pool);
    const auto proposed = [&](const LineCandidate& c) {
      return std::find(result.elements.begin(), result.elements.end(), c.line.z) != result.elements.end();
    };
    const auto split = std::stable_partition(candidates.begin(), candidates.end(), proposed);
    std::stable_sort(candidates.begin(), split, [](const LineCandidate& a, const LineCandidate& b) {
      return std::fabs(a.distanceKev) < std::fabs(b.distanceKev);
    });
    result.peaks.push_back({p, std::move(candidates)});
  }
  return result;
}

}  // namespace tolvane
