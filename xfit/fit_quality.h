#pragma once
// How far an MLSQ fit can be trusted. The residual is the filtered sample
// minus the full model, the sum of every standard's whole filtered spectrum
// times its K-ratio (not only the parts inside the windows that the fit's
// normal matrix couples), over the channels of the fit windows. Each
// channel is weighted by the residual's own variance there: the sample's
// counting noise and the standards', scaled by their K-ratios squared.
//
// The filtered channels are not independent (each sums 32 input channels),
// and the fit takes its parameters out of the noise; how much the fit
// removes is worked out once per table, for a sample made of all the
// standards, so that a correct model gives a reduced chi-square near 1.
//
// Where a standard's filtered spectrum reaches into another standard's
// window beyond their overlap, the per-window fit cannot carry it and its
// K-ratios are biased: the table is flagged for it (from the standards
// alone), and the chi-square behind `chi2_high` is taken after that bias
// (the fit's sums solved against the full model) so that it speaks only of
// what the standards cannot explain.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "xfit/mlsq_fit.h"

namespace tolvane {

enum class FitFlagKind {
  NegativeKratio,      // a K-ratio below zero by more than its stated error
  SystematicResidual,  // a window whose residual is not noise
  Chi2High,            // reduced chi-square above 3 beyond what the spill explains
  WindowSpill,         // a standard reaches into another's window beyond their overlap
};

struct FitFlag {
  FitFlagKind kind = FitFlagKind::Chi2High;
  int32_t index = -1;     // the standard's table index; -1 for the fit as a whole
  int32_t standard = -1;  // its place among the selected standards
  // WindowSpill: the standard whose window it reaches into, and the
  // channels where it is significant there.
  int32_t otherIndex = -1;
  int32_t otherStandard = -1;
  int32_t firstChannel = -1, lastChannel = -1;
};

struct FitQuality {
  bool valid = false;  // false when there was nothing to assess
  double chi2 = 0.0;   // sum of squared weighted residuals
  double chi2Reduced = 0.0;
  // The reduced chi-square after the bias the windows' spill predicts is
  // taken out; equal to chi2Reduced on a table without spill.
  double chi2ReducedAfterSpill = 0.0;
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
// A standard spills into another's window when the part the per-window
// model leaves out would move the other's K-ratio by more than this share
// of the spilling standard's K-ratio, and stands out of the standard's own
// noise by kSpillSignificance standard deviations.
inline constexpr double kSpillBiasLimit = 0.01;
inline constexpr double kSpillSignificance = 5.0;

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
// A spill names `spillingLine` ("Kβ") where given, else "its spectrum".
std::string fitFlagText(const FitFlag& flag, const XfitWorkspace& fit, double chi2Reduced,
                        const std::string& spillingLine = {});
// The Xfit page's line: "χ²ᵣ 1.07, no flags", the flags, and the
// standards not detected.
std::string fitQualityLine(const FitQuality& quality, const XfitWorkspace& fit);

}  // namespace tolvane
