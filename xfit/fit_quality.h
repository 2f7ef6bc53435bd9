#pragma once
// How far an MLSQ fit can be trusted. Over the fit windows it forms the
// residual of the filtered sample against the fitted sum of filtered
// standards (each standard counted only inside its own window, as the fit
// models it), weights it by the residual's own variance (the sample's
// counting noise and the standards' own, scaled by their K-ratios), and
// gives the reduced chi-square and flags.
//
// The filtered channels are not independent: each is a sum over 32 input
// channels, so neighbours share most of their counts. The chi-square is
// therefore compared with its own expectation under the full covariance of
// the filtered channels (after the fit has taken its parameters out), and
// its degrees of freedom are the effective ones of that covariance
// (E^2 / tr(S^2), S the weighted residual covariance). A correct model then
// gives a reduced chi-square near 1 whatever the window widths.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "xfit/mlsq_fit.h"

namespace tolvane {

enum class FitFlagKind {
  NegativeKratio,      // a K-ratio below zero by more than its stated error
  SystematicResidual,  // a window whose residual is not noise
  Chi2High,            // reduced chi-square above 3
};

struct FitFlag {
  FitFlagKind kind = FitFlagKind::Chi2High;
  int32_t index = -1;     // the standard's table index; -1 for the fit as a whole
  int32_t standard = -1;  // its place among the selected standards
};

struct FitQuality {
  bool valid = false;  // false when there was nothing to assess
  double chi2 = 0.0;   // sum of squared weighted residuals
  double chi2Reduced = 0.0;
  double dof = 0.0;  // effective degrees of freedom
  std::vector<FitFlag> flags;
  // Per selected standard (k = 0 .. FitCount-1): K-ratio within its error
  // of zero.
  std::array<bool, kMaxStandards> notDetected{};
  // The residual curve, one entry per channel of the fit windows: the
  // channel, the residual and its standard deviation.
  std::vector<int32_t> channels;
  std::vector<double> residual;
  std::vector<double> sigma;
};

// Thresholds of the flags.
inline constexpr double kChi2ReducedLimit = 3.0;
inline constexpr double kResidualSigmaLimit = 5.0;
// A window's own chi-square is systematic beyond this upper-tail
// probability.
inline constexpr double kWindowTailProbability = 1e-3;

// Assesses a fit that succeeded: `fit` holds the filtered standards, the
// coefficients and errors; `sampleCounts` the sample's channel counts
// (`channels` of them, cut to 4096). The standards' raw counts are those
// kept in `fit` when the table was loaded.
FitQuality assessFit(const XfitWorkspace& fit, const std::array<double, kMaxStandards>& coefficients,
                     const std::array<double, kMaxStandards>& errors, const int32_t* sampleCounts, int32_t channels);

// "kind" names as the command line prints them.
const char* fitFlagKindName(FitFlagKind kind);
// A flag as the analyst reads it, e.g. "Fe: K-ratio negative beyond its
// error".
std::string fitFlagText(const FitFlag& flag, const XfitWorkspace& fit, double chi2Reduced);
// The Xfit page's line: "χ²ᵣ 1.07, no flags", the flags, and the
// standards not detected.
std::string fitQualityLine(const FitQuality& quality, const XfitWorkspace& fit);

}  // namespace tolvane
