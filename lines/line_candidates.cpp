#include "lines/line_candidates.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace tolvane {

namespace {

// Elements without a stable isotope (Tc, Pm, Po and beyond Bi, except Th
// and U) turn up in a spectrum far more rarely; they rank lower.
double abundanceWeight(int z) {
  const bool unstable = z == 43 || z == 61 || (z >= 84 && z != 90 && z != 92);
  return unstable ? 0.2 : 1.0;
}

}  // namespace

std::vector<LineCandidate> candidatesNear(double energyKev, double fwhmKev, const std::vector<XrayLine>& pool,
                                          double minRelative) {
  const double sigma = fwhmKev / 2.3548200450309493;
  // Best member of each element's line group (Kα1 and Kα2 are one peak).
  std::map<std::pair<int, std::string>, LineCandidate> best;
  for (const XrayLine& line : pool) {
    const double distance = line.energyKev - energyKev;
    // Escape and sum peaks are tiny by nature; they are in the pool only
    // for elements believed present.
    if (std::fabs(distance) > fwhmKev || (line.kind == LineKind::Emission && line.relative < minRelative)) continue;
    LineCandidate c{line, distance,
                    abundanceWeight(line.z) * line.relative * std::exp(-0.5 * (distance / sigma) * (distance / sigma))};
    auto key = std::make_pair(line.z, line.group);
    auto it = best.find(key);
    if (it == best.end())
      best.emplace(std::move(key), std::move(c));
    else if (c.score > it->second.score)
      it->second = std::move(c);
  }
  std::vector<LineCandidate> out;
  out.reserve(best.size());
  for (auto& [key, c] : best) out.push_back(std::move(c));
  std::stable_sort(out.begin(), out.end(), [](const LineCandidate& a, const LineCandidate& b) {
    if (a.score != b.score) return a.score > b.score;
    return std::fabs(a.distanceKev) < std::fabs(b.distanceKev);
  });
  return out;
}

std::vector<XrayLine> identificationPool(double maxKev, const std::vector<int>& detectorElements) {
  std::vector<XrayLine> pool;
  for (const XrayLine& line : allLines(maxKev)) {
    const bool present = std::find(detectorElements.begin(), detectorElements.end(), line.z) != detectorElements.end();
    if (line.kind == LineKind::Emission || present) pool.push_back(line);
  }
  return pool;
}

}  // namespace tolvane
