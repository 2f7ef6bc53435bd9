#pragma once
// The peaks a detector adds to a spectrum's strongest peaks, so a small
// peak can be told from an element: the pile-up (sum) peaks of each pair
// of them and the Si escape peaks.
//
// Pile-up model: two photons that arrive within the pulse-pair resolving
// time tau of the pile-up rejector are counted as one of the summed
// energy. With peak count rates rA and rB (net counts over live time T),
// the sum peak A+B of two different peaks holds 2 tau rA rB T counts and
// the sum A+A holds tau rA^2 T. Escape model: the Si K-alpha (1.740 keV) of
// a photon absorbed near the front face escapes with the fraction
// siEscapeFraction(E) (line_data.h); the escape peak holds that fraction of
// the parent's counts at E - 1.740 keV.
#include <string>
#include <vector>

#include "lines/element_proposal.h"

namespace tolvane {

// A typical pile-up rejector of a silicon drift detector: 0.5 µs.
inline constexpr double kDefaultResolvingTimeSeconds = 0.5e-6;
// The strongest peaks whose sums and escapes are shown.
inline constexpr size_t kArtefactParents = 4;

struct ParentPeak {
  std::string label;  // "Fe Kα", or the energy when nothing names it
  double energyKev = 0.0;
  double net = 0.0;  // counts
};

struct ArtefactPeak {
  enum class Kind { Sum, Escape } kind = Kind::Sum;
  std::string label;  // "Fe Kα+Cu Kα", "2×Fe Kα", "Fe Kα esc"
  double energyKev = 0.0;
  // Expected counts in the peak; negative when the live time is unknown
  // (only its place is known then).
  double expectedCounts = -1.0;
};

// The sum peaks of every pair (each with itself too) of the `parents`
// strongest peaks by net counts, and their escape peaks, up to `topKev`.
std::vector<ArtefactPeak> artefactPeaks(std::vector<ParentPeak> peaks, double liveSeconds, double topKev,
                                        double resolvingTimeSeconds = kDefaultResolvingTimeSeconds,
                                        size_t parents = kArtefactParents);

// The found peaks as parents, each named by its best candidate line.
std::vector<ParentPeak> parentPeaks(const Identification& identification);

}  // namespace tolvane
