#pragma once
// Which elements the peaks of a spectrum show. An element is proposed when
// the strongest line of one of its families explains a peak and its other
// lines agree: present where their expected size would be seen, and never
// missing where they would be strong. Peaks are taken largest first; an
// element's lines then account for their share of every peak they fall on
// (and its escape and sum peaks for theirs), so a peak that is left over
// can still be given to a neighbour.
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

// `counts` (size channels) is the spectrum the peaks came from; it gives
// the background against which a missing line would have been seen.
Identification identifyPeaks(const std::vector<FoundPeak>& peaks, const int32_t* counts, int32_t size,
                             const EnergyScale& scale, const DetectorResolution& resolution,
                             double maxKev = kDefaultMaxKev);

}  // namespace tolvane
