#include "xfit/mlsq_fit.h"

#include <algorithm>
#include <cmath>

#include "xfit/standards_load.h"

namespace tolvane {

bool solveMlsq(XfitWorkspace& fit, const double* y, double* v) {
  const int m = fit.FitCount;
  std::array<std::pair<int32_t, int32_t>, kMaxStandards> windows;
  for (int i = 0; i < m; ++i) {
    const StandardRecord& r = fit.SelectedCopy[static_cast<size_t>(i)];
    windows[static_cast<size_t>(i)] = {std::max(r.fitLowCh(), 0), std::min(r.fitHighCh(), kFitChannels)};
  }
  // A variance of exactly 0 is taken as 1.0 (and kept so) wherever a window
  // uses it; doing it first gives the sums below the same values.
  for (int i = 0; i < m; ++i)
    for (int32_t c = windows[static_cast<size_t>(i)].first; c < windows[static_cast<size_t>(i)].second; ++c)
      if (v[c] == 0.0) v[c] = 1.0;

  auto& a = fit.NormalMatrix;
  // Each term is formed on its own (so the compiler can do several at once)
  // and then added in channel order, which keeps every sum's value.
  std::array<double, kFitChannels> terms;
  const auto orderedSum = [&terms](int32_t low, int32_t high) {
    double sum = 0.0;
    for (int32_t c = low; c < high; ++c) sum += terms[static_cast<size_t>(c)];
    return sum;
  };
  for (int i = 0; i < m; ++i) {
    const double* s = fit.filteredStd(i);
    const auto [low, high] = windows[static_cast<size_t>(i)];
    for (int32_t c = low; c < high; ++c) terms[static_cast<size_t>(c)] = s[c] * y[c] / v[c];
    fit.RightHandSide[static_cast<size_t>(i)] = orderedSum(low, high);
  }
  for (int i = 0; i < m; ++i) std::fill_n(a[static_cast<size_t>(i)].begin(), m, 0.0);
  for (int i = 0; i < m; ++i)
    for (int j = i; j < m; ++j) {
      const int32_t low = std::max(windows[static_cast<size_t>(i)].first, windows[static_cast<size_t>(j)].first);
      const int32_t high = std::min(windows[static_cast<size_t>(i)].second, windows[static_cast<size_t>(j)].second);
      if (low >= high) continue;
      const double *si = fit.filteredStd(i), *sj = fit.filteredStd(j);
      for (int32_t c = low; c < high; ++c) terms[static_cast<size_t>(c)] = si[c] * sj[c] / v[c];
      a[static_cast<size_t>(i)][static_cast<size_t>(j)] = orderedSum(low, high);
    }
  for (int i = 0; i < m - 1; ++i)
    for (int j = i + 1; j < m; ++j)
      a[static_cast<size_t>(j)][static_cast<size_t>(i)] = a[static_cast<size_t>(i)][static_cast<size_t>(j)];

  // Gauss-Jordan on [A | I], pivots in order without exchanges.
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < m; ++j) a[static_cast<size_t>(i)][static_cast<size_t>(m + j)] = i == j ? 1.0 : 0.0;
  for (int p = 0; p < m; ++p) {
    auto& row = a[static_cast<size_t>(p)];
    const double d = row[static_cast<size_t>(p)];
    if (d == 0.0 || !std::isfinite(d)) return false;  // singular: no result
    for (int k = 0; k < 2 * m; ++k) row[static_cast<size_t>(k)] /= d;
    for (int r = 0; r < m; ++r) {
      if (r == p) continue;
      auto& other = a[static_cast<size_t>(r)];
      const double f = other[static_cast<size_t>(p)];
      for (int k = 0; k < 2 * m; ++k) other[static_cast<size_t>(k)] -= f * row[static_cast<size_t>(k)];
    }
  }
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < m; ++j)
      a[static_cast<size_t>(i)][static_cast<size_t>(j)] = a[static_cast<size_t>(i)][static_cast<size_t>(m + j)];

  const int32_t factor = (2 * fit.Widths.centre * fit.Widths.side) / (fit.Widths.centre + 2 * fit.Widths.side);
  for (int i = 0; i < m; ++i) {
    double sum = 0.0;
    for (int j = 0; j < m; ++j)
      sum += a[static_cast<size_t>(i)][static_cast<size_t>(j)] * fit.RightHandSide[static_cast<size_t>(j)];
    fit.FitCoefficients[static_cast<size_t>(i)] = sum;
    const double e = factor * a[static_cast<size_t>(i)][static_cast<size_t>(i)];
    fit.FitErrors[static_cast<size_t>(i)] = e > 0 ? std::sqrt(e) * 3 * 100 : 100;
    if (!std::isfinite(sum) || !std::isfinite(fit.FitErrors[static_cast<size_t>(i)])) return false;
  }
  return true;
}

FitOutcome RunMlsqFit(TDmVQRN& module, bool loaded, const std::string& tablePath) {
  XfitWorkspace& fit = module.Fit;
  fit.Widths = TopHatWidths{};
  if (!loaded && !LoadStandardTable(module, tablePath).loaded()) return FitOutcome::NoStandards;
  if (fit.SampleChannels == 0) return FitOutcome::NoSample;
  TopHatFilter(fit.SampleCounts.data(), fit.FilteredSample.data(), fit.SampleChannels, fit.Widths);
  TopHatVariance(fit.SampleCounts.data(), fit.SampleVariance.data(), fit.SampleChannels, fit.Widths);
  if (!solveMlsq(fit, fit.FilteredSample.data(), fit.SampleVariance.data())) return FitOutcome::Singular;
  for (int k = 0; k < fit.FitCount; ++k) {
    StandardRecord& record = module.Table.Records[static_cast<size_t>(fit.SelectedIndex[static_cast<size_t>(k)])];
    record.setKratioPct(static_cast<float>(fit.FitCoefficients[static_cast<size_t>(k)] * 100));
    record.setKratioErr(static_cast<float>(fit.FitErrors[static_cast<size_t>(k)]));
  }
  return FitOutcome::Fitted;
}

}  // namespace tolvane
