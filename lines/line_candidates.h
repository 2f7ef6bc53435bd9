#pragma once
// Which lines could make a peak at a given energy: every line within one
// FWHM, one per element and line group, ranked by closeness and intensity.
#include <vector>

#include "lines/line_data.h"

namespace tolvane {

struct LineCandidate {
  XrayLine line;
  double distanceKev = 0.0;  // line energy - asked energy
  double score = 0.0;        // relative intensity x Gaussian weight of the distance
};

// Lines with a relative intensity below `minRelative` are left out.
std::vector<LineCandidate> candidatesNear(double energyKev, double fwhmKev, const std::vector<XrayLine>& pool,
                                          double minRelative = 0.02);

// The emission lines of every element, and the escape and sum peaks of the
// elements named in `detectorElements` (the ones believed present).
std::vector<XrayLine> identificationPool(double maxKev, const std::vector<int>& detectorElements);

}  // namespace tolvane
