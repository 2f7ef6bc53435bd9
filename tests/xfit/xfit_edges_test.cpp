// The fit at its edges: a window without a single count, and the error of
// a one-standard fit against its closed form.
#include <gtest/gtest.h>

#include <cmath>

#include "xfit/mlsq_fit.h"

namespace tolvane {
namespace {

constexpr int32_t kLow = 100, kHigh = 140;

// One standard in use over channels kLow .. kHigh-1, its filtered spectrum a
// Gaussian of height 500.
XfitWorkspace oneStandard() {
  XfitWorkspace fit;
  fit.FitCount = 1;
  fit.SelectedCopy[0].setInUse(1);
  fit.SelectedCopy[0].setFitLowCh(kLow);
  fit.SelectedCopy[0].setFitHighCh(kHigh);
  for (int32_t c = kLow; c < kHigh; ++c) fit.filteredStd(0)[c] = 500.0 * std::exp(-0.5 * std::pow((c - 120) / 6.0, 2));
  return fit;
}

TEST(XfitEdges, AWindowWithoutCountsFitsToZeroInsteadOfBeingSingular) {
  TDmVQRN module;
  module.Fit = oneStandard();
  module.Fit.SampleChannels = 1024;  // every count 0: no peak and no background
  ASSERT_EQ(RunMlsqFit(module, true, ""), FitOutcome::Fitted);
  EXPECT_EQ(module.Fit.FitCoefficients[0], 0.0);
  EXPECT_TRUE(std::isfinite(module.Fit.FitErrors[0]));
  EXPECT_EQ(module.Table.Records[0].kratioPct(), 0.0f);
}

TEST(XfitEdges, TheErrorOfAOneStandardFitIsThreeSigmaFromTheInverseNormalSum) {
  XfitWorkspace fit = oneStandard();
  std::vector<double> y(kFitChannels, 0.0), v(kFitChannels, 0.0);
  for (int32_t c = kLow; c < kHigh; ++c) {
    y[static_cast<size_t>(c)] = 0.25 * fit.filteredStd(0)[c];
    v[static_cast<size_t>(c)] = 40.0 + c % 7;  // a variance of its own per channel
  }
  ASSERT_TRUE(solveMlsq(fit, y.data(), v.data()));
  double normal = 0.0;  // the 1 x 1 normal matrix, summed in channel order
  for (int32_t c = kLow; c < kHigh; ++c)
    normal += fit.filteredStd(0)[c] * fit.filteredStd(0)[c] / v[static_cast<size_t>(c)];
  // The filter's variance factor for side 8, centre 16: 2*16*8 / (16+2*8) = 8.
  const int32_t factor = 8;
  EXPECT_EQ(fit.FitErrors[0], std::sqrt(factor * (1.0 / normal)) * 3 * 100);
  EXPECT_DOUBLE_EQ(fit.FitCoefficients[0], 0.25);
}

}  // namespace
}  // namespace tolvane
