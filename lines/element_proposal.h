#pragma once
// Which elements the peaks of a spectrum show. Peaks are taken largest
// first. A peak that is the Si escape peak or the pile-up sum of larger
// peaks, or that an L or M line of an element already proposed falls on,
// proposes nothing of its own. Otherwise an element is proposed when the
// strongest line of one of its families explains the peak, the peak is
// significant (its net area at least five standard deviations, or a second
// line of the element found as well), and its other lines agree: present
// where their expected size would be seen, never missing where they would
// be strong. An element's lines then account for their share of every peak
// they fall on, so a peak that is left over can still be given to a
// neighbour.
#include <cstdint>
#include <vector>

#include "lines/line_candidates.h"
#include "lines/peak_search.h"

namespace tolvane {

struct PeakIdentity {
  FoundPeak peak;
  std::vector<LineCandidate> candidates;  // best first
};

struct Identification {
  std::vector<PeakIdentity> peaks;  // by channel
  std::vector<int> elements;        // proposed, strongest evidence first
};

struct ProposalOptions {
  // A peak proposes an element on its own when its net area is at least
  // this many standard deviations; below it, only with a second line.
  double loneLineSigmas = 5.0;
};

// `counts` (size channels) is the spectrum the peaks came from; it gives
// the background against which a missing line would have been seen.
Identification identifyPeaks(const std::vector<FoundPeak>& peaks, const int32_t* counts, int32_t size,
                             const EnergyScale& scale, const DetectorResolution& resolution,
                             double maxKev = kDefaultMaxKev, const ProposalOptions& options = {});

}  // namespace tolvane
