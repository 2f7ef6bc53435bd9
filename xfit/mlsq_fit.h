#pragma once
// The quantitative fit: the sample, after the top-hat filter, is fitted as
// a sum of the filtered spectra of the selected standards, each only in its
// own channel window, by weighted linear least squares. The result per
// standard is a K-ratio in percent and its three-sigma uncertainty.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "xfit/standard_table.h"
#include "xfit/top_hat_filter.h"

namespace tolvane {

inline constexpr int kMaxStandards = 16;

// The fit's fixed working storage, set up once.
struct XfitWorkspace {
  TopHatWidths Widths;
  int32_t FitCount = 0;  // m, the standards selected when the table was loaded
  std::array<int32_t, kMaxStandards> SelectedIndex{};
  std::array<StandardRecord, kMaxStandards> SelectedCopy{};
  int32_t StdChannels = 0;
  std::vector<double> FilteredStd = std::vector<double>(kMaxStandards * kFitChannels, 0.0);
  // The standards' raw counts, for the fit-quality checks (their noise).
  std::vector<int32_t> StdCounts = std::vector<int32_t>(kMaxStandards * kFitChannels, 0);
  std::vector<int32_t> SampleCounts = std::vector<int32_t>(kFitChannels, 0);
  int32_t SampleChannels = 0;
  std::vector<double> FilteredSample = std::vector<double>(kFitChannels, 0.0);
  std::vector<double> SampleVariance = std::vector<double>(kFitChannels, 0.0);
  std::array<std::array<double, 2 * kMaxStandards>, kMaxStandards> NormalMatrix{};
  std::array<double, kMaxStandards> RightHandSide{};
  std::array<double, kMaxStandards> FitCoefficients{};
  std::array<double, kMaxStandards> FitErrors{};

  const double* filteredStd(int k) const { return FilteredStd.data() + static_cast<ptrdiff_t>(k) * kFitChannels; }
  double* filteredStd(int k) { return FilteredStd.data() + static_cast<ptrdiff_t>(k) * kFitChannels; }
  const int32_t* stdCounts(int k) const { return StdCounts.data() + static_cast<ptrdiff_t>(k) * kFitChannels; }
  int32_t* stdCounts(int k) { return StdCounts.data() + static_cast<ptrdiff_t>(k) * kFitChannels; }
};

// The data module: the standards table and the fit's storage.
struct TDmVQRN {
  StandardTable Table;
  XfitWorkspace Fit;
};

enum class [[nodiscard]] FitOutcome { Fitted, NoStandards, NoSample, Singular };

// Fits SampleCounts (SampleChannels of them), loading the table from
// `tablePath` first unless `loaded` (LoadStandardTable, standards_load.h). Writes KratioPct and KratioErr of the
// selected records only when the fit succeeds.
FitOutcome RunMlsqFit(TDmVQRN& module, bool loaded, const std::string& tablePath);

// The normal equations, their inversion and the solution for m standards,
// from the filtered sample Y and its variance V (a variance of 0 is
// replaced by 1.0 in V). Returns false for a zero or non-finite pivot.
[[nodiscard]] bool solveMlsq(XfitWorkspace& fit, const double* y, double* v);

}  // namespace tolvane
