#include "lines/element_proposal.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>
#include <utility>

namespace tolvane {

namespace {

// Below this energy the detector window swallows too much to expect a
// line's absence, or its size, to mean anything.
constexpr double kLowestCheckedKev = 1.0;
// Intensities across families ignore the detector's efficiency; a family
// may be this much stronger or weaker than its production predicts.
constexpr double kAcrossFamilies = 5.0;
// A second line backs a weak peak when it is found at this significance.
constexpr double kSecondLineSigmas = 3.0;
// Pile-up: a sum peak holds at most this share of the smaller of the two
// peaks that make it (a few per mille usually, several percent at dead
// times near one half).
constexpr double kSumAtMost = 0.1;
// Below this energy a peak is the detector's noise or zero peak: it
// proposes nothing.
constexpr double kLowestProposingKev = 0.1;
// Below 1 keV a peak has a tail of incomplete charge collection; a small
// peak within this many FWHM below a peak this many times larger is that
// tail's shoulder.
constexpr double kShoulderFwhm = 2.0;
constexpr double kShoulderRatio = 10.0;
// Missing lines of another family rule an element out only when they would
// be this much stronger than seen: between families the window, the air
// path and the detector's thickness change sizes by an order of magnitude.
constexpr double kAcrossFamiliesMissing = 25.0;
// A missing line rules an element out when its expected area is this many
// standard deviations of the counts under it: well above what the peak
// search is sure to find, so a line it missed on a steep background does
// not count as missing.
constexpr double kMissingSigmas = 7.0;
// An escape peak holds at most this many times the share the Si escape
// fraction gives (detectors differ from the ideal geometry).
constexpr double kEscapeMargin = 4.0;
// Only a prominent line that is missing rules an element out: the weak
// lines' intensities, and the peak search's view of a weak line beside a
// strong one, are not sure enough. Across families only the main lines.
constexpr double kVetoingLine = 0.1;
constexpr double kVetoingOtherFamily = 0.5;
// A peak that an L or M line of a proposed element falls on is that
// element's while the line's expected area is at least this share of it.
constexpr double kClaimedShare = 1.0 / 3.0;
// An L or M line this strong within its family claims the peak it falls on
// for its element.
constexpr double kClaimingLine = 0.02;

struct Work {
  const std::vector<FoundPeak>& peaks;
  const int32_t* counts;
  int32_t size;
  const EnergyScale& scale;
  const DetectorResolution& resolution;
  std::vector<double> residual;  // net area not yet explained
  std::vector<bool> settled;     // explained as a whole
  std::vector<double> taken;     // what proposed elements' lines explain

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

  double significance(size_t i) const {
    return peaks[i].netError > 0.0 ? peaks[i].net / peaks[i].netError : 0.0;
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
    const double centre = scale.channel(energyKev);
    const double half = 0.5 * resolution.fwhmKev(energyKev) / scale.slope(centre);
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

  // Whether a peak of `net` counts at `energyKev` can be the Si escape peak
  // of peak `parent`.
  bool escapeOf(double energyKev, double net, int parent) const {
    if (parent < 0) return false;
    const FoundPeak& a = peaks[static_cast<size_t>(parent)];
    return a.energyKev > kSiKEdgeKev && std::fabs(a.energyKev - kSiEscapeKev - energyKev) <= tolerance(energyKev) &&
           net <= kEscapeMargin * siEscapeFraction(a.energyKev) * a.net;
  }

  // Whether a peak of `net` counts can be the pile-up of peaks a and b.
  bool sumOf(double net, int a, int b) const {
    if (a < 0 || b < 0) return false;
    return net <= kSumAtMost * std::min(peaks[static_cast<size_t>(a)].net, peaks[static_cast<size_t>(b)].net);
  }

  // The escape peak of a larger peak, the pile-up of two, the shoulder of
  // a low peak's tail, or the noise at zero.
  bool detectorPeak(size_t i) const {
    const FoundPeak& p = peaks[i];
    if (p.energyKev < kLowestProposingKev) return true;
    if (p.energyKev < kLowestCheckedKev)
      for (const FoundPeak& q : peaks)
        if (q.energyKev > p.energyKev && q.energyKev - p.energyKev <= kShoulderFwhm * resolution.fwhmKev(q.energyKev) &&
            q.net >= kShoulderRatio * p.net)
          return true;
    if (escapeOf(p.energyKev, p.net, peakAt(p.energyKev + kSiEscapeKev))) return true;
    const double tol = tolerance(p.energyKev);
    for (size_t a = 0; a < peaks.size(); ++a)
      for (size_t b = a; b < peaks.size(); ++b)
        if (std::fabs(peaks[a].energyKev + peaks[b].energyKev - p.energyKev) <= tol &&
            sumOf(p.net, static_cast<int>(a), static_cast<int>(b)))
          return true;
    return false;
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
  int corroborating = 0;  // other found peaks its lines explain
};

Verdict judge(const Work& w, const std::vector<XrayLine>& lines, const XrayLine& strongest, int at) {
  Verdict v;
  const double scale = familyScale(w, familyLines(lines, strongest.family), at);
  if (scale <= 0.0) return v;
  double support = 0.0;
  std::vector<int> backing;
  for (const XrayLine& l : lines) {
    if (l.kind != LineKind::Emission || w.peakAt(l.energyKev) == at || !w.inSpectrum(l.energyKev)) continue;
    const bool sameFamily = l.family == strongest.family;
    const double expected = scale * l.production / (sameFamily ? 1.0 : kAcrossFamilies);
    const double missing = sameFamily ? expected : expected * kAcrossFamilies / kAcrossFamiliesMissing;
    const bool visible = missing > kMissingSigmas * std::sqrt(w.backgroundAt(l.energyKev) + 1.0);
    if (const int q = w.peakAt(l.energyKev); q >= 0 && w.settled[static_cast<size_t>(q)]) {
      continue;  // an escape, sum or tail peak backs no element
    } else if (q >= 0) {
      // Found, but far smaller than the line alone would make it.
      const FoundPeak& p = w.peaks[static_cast<size_t>(q)];
      if (sameFamily && p.net + 3.0 * p.netError < 0.3 * expected) return v;
      support += sameFamily ? l.relative : 0.5;
      const bool shows = expected > kSecondLineSigmas * p.netError || l.relative >= 0.1;
      if (shows && w.significance(static_cast<size_t>(q)) >= kSecondLineSigmas &&
          std::find(backing.begin(), backing.end(), q) == backing.end())
        backing.push_back(q);
    } else if (visible && l.relative >= (sameFamily ? kVetoingLine : kVetoingOtherFamily) &&
               !w.hiddenNear(l.energyKev)) {
      return v;  // a line that would be strong is missing
    }
  }
  const double distance = std::fabs(strongest.energyKev - w.peaks[static_cast<size_t>(at)].energyKev);
  v.consistent = true;
  v.corroborating = static_cast<int>(backing.size());
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
    if (l.kind != LineKind::Emission) continue;
    const int q = w.peakAt(l.energyKev);
    if (q >= 0) take[static_cast<size_t>(q)] += scales[static_cast<size_t>(l.family)] * l.production;
  }
  for (size_t i = 0; i < take.size(); ++i) {
    w.residual[i] -= take[i];
    w.taken[i] += take[i];
  }
}

// Whether an L or M line of a proposed element falls on peak i while its
// family shows: the peak is that element's.
bool claimedByProposed(const Work& w, const std::vector<std::vector<XrayLine>>& elementLines,
                       const std::vector<int>& proposed, size_t i) {
  for (int z : proposed) {
    const std::vector<XrayLine>& lines = elementLines[static_cast<size_t>(z)];
    for (const XrayLine& l : lines) {
      if (l.kind != LineKind::Emission || l.family == LineFamily::K || l.relative < kClaimingLine) continue;
      if (w.peakAt(l.energyKev) != static_cast<int>(i)) continue;
      // The family's strongest line is on a found peak (perhaps this one).
      const auto main = std::find_if(lines.begin(), lines.end(), [&](const XrayLine& m) {
        return m.kind == LineKind::Emission && m.family == l.family && m.relative >= 1.0;
      });
      if (main == lines.end() || w.peakAt(main->energyKev) < 0) continue;
      // Low lines' sizes mean little; above, the line must make a fair
      // part of the peak.
      if (w.peaks[i].energyKev < kLowestCheckedKev || w.taken[i] >= kClaimedShare * w.peaks[i].net) return true;
    }
  }
  return false;
}

// Whether a detector line (escape or sum) of a proposed element can make a
// peak of `net` counts: its parent peaks must be there and large enough.
bool parentsCanMake(const Work& w, const XrayLine& line, const std::vector<XrayLine>& elementLines, double net) {
  if (line.kind == LineKind::Escape) return w.escapeOf(line.energyKev, net, w.peakAt(line.energyKev + kSiEscapeKev));
  const auto alpha = std::find_if(elementLines.begin(), elementLines.end(), [](const XrayLine& l) {
    return l.kind == LineKind::Emission && l.name == "Kα1";
  });
  if (alpha == elementLines.end()) return false;
  return w.sumOf(net, w.peakAt(alpha->energyKev), w.peakAt(line.energyKev - alpha->energyKev));
}

}  // namespace

Identification identifyPeaks(const std::vector<FoundPeak>& peaks, const int32_t* counts, int32_t size,
                             const EnergyScale& scale, const DetectorResolution& resolution, double maxKev,
                             const ProposalOptions& options) {
  Identification result;
  Work w{peaks, counts, size, scale, resolution, {}, {}, {}};
  w.taken.assign(peaks.size(), 0.0);
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
    if (w.explained(i)) continue;
    if (w.detectorPeak(i) || claimedByProposed(w, elementLines, result.elements, i)) {
      w.settled[i] = true;
      continue;
    }
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
          const bool significant = w.significance(i) >= options.loneLineSigmas || v.corroborating > 0;
          if (v.consistent && significant && v.score > bestScore) {
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
  // first, then every other line by closeness and intensity. An escape or
  // sum line stays only where its parent peaks can make the peak.
  const std::vector<XrayLine> pool = identificationPool(maxKev, result.elements);
  for (const FoundPeak& p : peaks) {
    const double fwhm = resolution.fwhmKev(p.energyKev);
    std::vector<LineCandidate> candidates = candidatesNear(p.energyKev, fwhm, pool);
    candidates.erase(std::remove_if(candidates.begin(), candidates.end(),
                                    [&](const LineCandidate& c) {
                                      return c.line.kind != LineKind::Emission &&
                                             !parentsCanMake(w, c.line, elementLines[static_cast<size_t>(c.line.z)],
                                                             p.net);
                                    }),
                     candidates.end());
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
