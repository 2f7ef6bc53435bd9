#include "xfit/fit_quality.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tolvane {

namespace {

using Eigen::MatrixXd;
using Eigen::VectorXd;

// The filter as weights on its 32 input channels: output i reads input
// i - h - 1 + j with weight kernel[j].
struct Kernel {
  std::vector<double> weight;
  int32_t h = 0;
  explicit Kernel(TopHatWidths w) {
    const int32_t length = 2 * w.side + w.centre;
    h = length / 2;
    const double side = w.centre * -0.5 / w.side;
    for (int32_t j = 0; j < length; ++j) weight.push_back(j < w.side || j >= w.side + w.centre ? side : 1.0);
  }
  int32_t length() const { return static_cast<int32_t>(weight.size()); }
  int32_t firstInput(int32_t output) const { return output - h - 1; }
};

// Upper quantile of chi-square with nu degrees of freedom (Wilson-Hilferty),
// z the standard normal quantile.
double chi2Quantile(double nu, double z) {
  const double a = 2.0 / (9.0 * nu);
  const double t = 1.0 - a + z * std::sqrt(a);
  return nu * t * t * t;
}

// Standard normal upper quantile for the window test's tail probability.
constexpr double kWindowZ = 3.0902;  // P(Z > z) = 1e-3
static_assert(kWindowTailProbability == 1e-3);

}  // namespace

FitQuality assessFit(const XfitWorkspace& fit, const std::array<double, kMaxStandards>& coefficients,
                     const std::array<double, kMaxStandards>& errors, const int32_t* sampleCounts, int32_t channels) {
  FitQuality q;
  const int m = fit.FitCount;
  channels = std::clamp(channels, 0, kFitChannels);
  if (m <= 0 || channels == 0) return q;
  const Kernel kernel(fit.Widths);

  // The sample as the fit saw it: filtered, with the fit's own weights.
  std::vector<int32_t> counts(kFitChannels, 0);
  std::copy_n(sampleCounts, channels, counts.begin());
  std::vector<double> y(kFitChannels, 0.0), v(kFitChannels, 0.0);
  TopHatFilter(counts.data(), y.data(), channels, fit.Widths);
  TopHatVariance(counts.data(), v.data(), channels, fit.Widths);

  // The channels of the fit windows, each once, in order.
  std::vector<std::pair<int32_t, int32_t>> windows(static_cast<size_t>(m));
  std::vector<char> inUnion(kFitChannels, 0);
  for (int k = 0; k < m; ++k) {
    const StandardRecord& r = fit.SelectedCopy[static_cast<size_t>(k)];
    windows[static_cast<size_t>(k)] = {std::max(r.fitLowCh(), 0), std::min(r.fitHighCh(), kFitChannels)};
    for (int32_t c = windows[static_cast<size_t>(k)].first; c < windows[static_cast<size_t>(k)].second; ++c)
      inUnion[static_cast<size_t>(c)] = 1;
  }
  std::vector<int32_t>& u = q.channels;
  for (int32_t c = 0; c < kFitChannels; ++c)
    if (inUnion[static_cast<size_t>(c)]) u.push_back(c);
  const auto n = static_cast<Eigen::Index>(u.size());
  if (n <= m) return q;
  const auto inWindow = [&](int k, int32_t c) {
    return c >= windows[static_cast<size_t>(k)].first && c < windows[static_cast<size_t>(k)].second;
  };

  // Design matrix, fit weights and residual.
  MatrixXd x = MatrixXd::Zero(n, m);
  VectorXd weight(n), r(n);
  for (Eigen::Index i = 0; i < n; ++i) {
    const int32_t c = u[static_cast<size_t>(i)];
    double model = 0.0;
    for (int k = 0; k < m; ++k)
      if (inWindow(k, c)) {
        x(i, k) = fit.filteredStd(k)[c];
        model += coefficients[static_cast<size_t>(k)] * x(i, k);
      }
    const double fitVariance = v[static_cast<size_t>(c)] == 0.0 ? 1.0 : v[static_cast<size_t>(c)];
    weight(i) = 1.0 / fitVariance;
    r(i) = y[static_cast<size_t>(c)] - model;
  }

  // Covariance of (filtered sample - fitted standards) over the window
  // channels: two filtered channels share the input channels under both
  // kernels; each input contributes its Poisson variance, the sample's
  // count and, where both channels lie in a standard's window, that
  // standard's count times its K-ratio squared. Outputs the filter does not
  // write (past the spectrum, or reaching past channel 4095) carry none.
  const int32_t length = kernel.length();
  const auto written = [&](int32_t c) { return c < channels && kernel.firstInput(c) + length - 1 < kFitChannels; };
  MatrixXd cov = MatrixXd::Zero(n, n);
  for (Eigen::Index i = 0; i < n; ++i) {
    const int32_t ci = u[static_cast<size_t>(i)];
    if (!written(ci)) continue;
    for (Eigen::Index j = i; j < n && u[static_cast<size_t>(j)] - ci < length; ++j) {
      const int32_t cj = u[static_cast<size_t>(j)];
      if (!written(cj)) continue;
      std::array<double, kMaxStandards> scale{};
      for (int k = 0; k < m; ++k)
        if (inWindow(k, ci) && inWindow(k, cj))
          scale[static_cast<size_t>(k)] = coefficients[static_cast<size_t>(k)] * coefficients[static_cast<size_t>(k)];
      double sum = 0.0;
      for (int32_t in = std::max(kernel.firstInput(cj), 0); in <= kernel.firstInput(ci) + length - 1; ++in) {
        double lambda = std::max(counts[static_cast<size_t>(in)], 0);
        for (int k = 0; k < m; ++k)
          if (scale[static_cast<size_t>(k)] != 0.0)
            lambda += scale[static_cast<size_t>(k)] * std::max(fit.stdCounts(k)[in], 0);
        sum += kernel.weight[static_cast<size_t>(in - kernel.firstInput(ci))] *
               kernel.weight[static_cast<size_t>(in - kernel.firstInput(cj))] * lambda;
      }
      cov(i, j) = cov(j, i) = sum;
    }
  }

  // The fit takes its m parameters out: residual = P e with
  // P = I - X G X' W, G = (X' W X)^-1, so its covariance is P C P'.
  const MatrixXd wx = weight.asDiagonal() * x;
  const MatrixXd g = (x.transpose() * wx).ldlt().solve(MatrixXd::Identity(m, m));
  const MatrixXd b = cov - (cov * wx) * g * x.transpose();  // C P'
  const MatrixXd s = b - x * g * (wx.transpose() * b);      // P C P'

  // Weighted by each channel's own variance (the sample's and the
  // standards' counting noise), the residual's chi-square has expectation
  // tr(S~) and effective degrees of freedom tr(S~)^2 / tr(S~^2).
  VectorXd whiten = VectorXd::Zero(n);
  for (Eigen::Index i = 0; i < n; ++i)
    if (cov(i, i) > 0) whiten(i) = 1.0 / std::sqrt(cov(i, i));
  const MatrixXd sw = whiten.asDiagonal() * s * whiten.asDiagonal();
  const VectorXd rw = r.cwiseProduct(whiten);
  const double expected = sw.trace();
  if (!(expected > 0)) return q;
  q.chi2 = rw.squaredNorm();
  q.chi2Reduced = q.chi2 / expected;
  q.dof = expected * expected / sw.squaredNorm();
  q.valid = std::isfinite(q.chi2Reduced) && std::isfinite(q.dof);
  if (!q.valid) return q;

  q.residual.assign(r.data(), r.data() + n);
  q.sigma.resize(static_cast<size_t>(n));
  for (Eigen::Index i = 0; i < n; ++i) q.sigma[static_cast<size_t>(i)] = std::sqrt(std::max(s(i, i), 0.0));

  for (int k = 0; k < m; ++k) {
    const int32_t index = fit.SelectedIndex[static_cast<size_t>(k)];
    const double kratio = coefficients[static_cast<size_t>(k)] * 100.0;
    const double error = errors[static_cast<size_t>(k)];
    q.notDetected[static_cast<size_t>(k)] = std::fabs(kratio) <= error;
    if (kratio < -error) q.flags.push_back({FitFlagKind::NegativeKratio, index, k});

    // The window's own share of the chi-square against its own
    // expectation, and its largest single residual.
    std::vector<Eigen::Index> rows;
    for (Eigen::Index i = 0; i < n; ++i)
      if (inWindow(k, u[static_cast<size_t>(i)])) rows.push_back(i);
    double chi2 = 0.0, expectedK = 0.0, squares = 0.0, largest = 0.0;
    for (Eigen::Index i : rows) {
      chi2 += rw(i) * rw(i);
      expectedK += sw(i, i);
      for (Eigen::Index j : rows) squares += sw(i, j) * sw(i, j);
      if (s(i, i) > 0) largest = std::max(largest, std::fabs(r(i)) / std::sqrt(s(i, i)));
    }
    bool systematic = largest > kResidualSigmaLimit;
    if (expectedK > 0 && squares > 0) {
      const double nu = expectedK * expectedK / squares;
      systematic = systematic || chi2 * nu / expectedK > chi2Quantile(nu, kWindowZ);
    }
    if (systematic) q.flags.push_back({FitFlagKind::SystematicResidual, index, k});
  }
  if (q.chi2Reduced > kChi2ReducedLimit) q.flags.push_back({FitFlagKind::Chi2High, -1, -1});
  return q;
}

const char* fitFlagKindName(FitFlagKind kind) {
  switch (kind) {
    case FitFlagKind::NegativeKratio:
      return "negative_kratio";
    case FitFlagKind::SystematicResidual:
      return "systematic_residual";
    case FitFlagKind::Chi2High:
      return "chi2_high";
  }
  return "";
}

std::string fitFlagText(const FitFlag& flag, const XfitWorkspace& fit, double chi2Reduced) {
  const std::string element =
      flag.standard >= 0 ? fit.SelectedCopy[static_cast<size_t>(flag.standard)].elemName() : std::string();
  char text[128];
  switch (flag.kind) {
    case FitFlagKind::NegativeKratio:
      return element + ": K-ratio negative beyond its error";
    case FitFlagKind::SystematicResidual:
      return element + ": systematic residual in its window";
    case FitFlagKind::Chi2High:
      std::snprintf(text, sizeof text, "χ²ᵣ %.2f > 3: a line in the sample is not in the standards", chi2Reduced);
      return text;
  }
  return {};
}

std::string fitQualityLine(const FitQuality& q, const XfitWorkspace& fit) {
  if (!q.valid) return "χ²ᵣ --";
  char head[48];
  std::snprintf(head, sizeof head, "χ²ᵣ %.2f, ", q.chi2Reduced);
  std::string line = head;
  if (q.flags.empty()) {
    line += "no flags";
  } else {
    for (size_t i = 0; i < q.flags.size(); ++i) {
      const FitFlag& f = q.flags[i];
      line += i ? "; " : "";
      line += f.kind == FitFlagKind::Chi2High ? "a line in the sample is not in the standards"
                                              : fitFlagText(f, fit, q.chi2Reduced);
    }
  }
  std::string missing;
  for (int k = 0; k < fit.FitCount; ++k)
    if (q.notDetected[static_cast<size_t>(k)])
      missing += (missing.empty() ? "" : ", ") + fit.SelectedCopy[static_cast<size_t>(k)].elemName();
  if (!missing.empty()) line += "; not detected: " + missing;
  return line;
}

}  // namespace tolvane
