#include "xfit/fit_quality_plan.h"

#include <Eigen/Dense>
#include <algorithm>
#include <bit>
#include <cmath>

namespace tolvane {

namespace {

using Eigen::MatrixXd;
using Eigen::VectorXd;

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

struct FitQualityPlan::Matrices {
  MatrixXd x, cov, b, s, sw;
};

FitQualityPlan::~FitQualityPlan() = default;

FitQualityPlan::FitQualityPlan(const XfitWorkspace& fit)
    : fit_(fit), m_(fit.FitCount), matrices_(std::make_unique<Matrices>()) {
  if (m_ <= 0) return;
  const TopHatWidths w = fit.Widths;
  length_ = 2 * w.side + w.centre;
  h_ = length_ / 2;
  const double side = w.centre * -0.5 / w.side;
  for (int32_t j = 0; j < length_; ++j) weight_.push_back(j < w.side || j >= w.side + w.centre ? side : 1.0);
  weightProducts_.assign(static_cast<size_t>(length_) * static_cast<size_t>(length_), 0.0);
  for (int32_t a = 0; a < length_; ++a)
    for (int32_t d = 0; d <= a; ++d)
      weightProducts_[static_cast<size_t>(a * length_ + d)] =
          weight_[static_cast<size_t>(a)] * weight_[static_cast<size_t>(a - d)];

  std::vector<uint32_t> mask(kFitChannels, 0);
  for (int k = 0; k < m_; ++k) {
    const StandardRecord& r = fit.SelectedCopy[static_cast<size_t>(k)];
    windows_.emplace_back(std::max(r.fitLowCh(), 0), std::min(r.fitHighCh(), kFitChannels));
    for (int32_t c = windows_.back().first; c < windows_.back().second; ++c) mask[static_cast<size_t>(c)] |= 1u << k;
  }
  for (int32_t c = 0; c < kFitChannels; ++c)
    if (mask[static_cast<size_t>(c)] != 0) {
      union_.push_back(c);
      rowMask_.push_back(mask[static_cast<size_t>(c)]);
      deepOverlap_ = deepOverlap_ || std::popcount(mask[static_cast<size_t>(c)]) > 2;
    }
  const auto n = static_cast<Eigen::Index>(union_.size());
  MatrixXd& x = matrices_->x;
  x = MatrixXd::Zero(n, m_);
  windowRows_.resize(static_cast<size_t>(m_));
  for (int k = 0; k < m_; ++k)
    for (Eigen::Index i = 0; i < n; ++i)
      if (rowMask_[static_cast<size_t>(i)] >> k & 1u) {
        x(i, k) = fit.filteredStd(k)[union_[static_cast<size_t>(i)]];
        windowRows_[static_cast<size_t>(k)].push_back(i);
      }
  standardCounts_.resize(static_cast<size_t>(m_) * kFitChannels);
  for (int k = 0; k < m_; ++k)
    for (int32_t c = 0; c < kFitChannels; ++c)
      standardCounts_[static_cast<size_t>(k) * kFitChannels + static_cast<size_t>(c)] =
          std::max(fit.stdCounts(k)[c], 0);

  // The masks the pairs of window channels share, and the inputs each reads.
  for (size_t i = 0; i < union_.size(); ++i) {
    const int32_t first = union_[i] - h_ - 1;
    for (size_t j = i; j < union_.size() && union_[j] - union_[i] < length_; ++j) {
      const uint32_t shared = rowMask_[i] & rowMask_[j];
      auto it = std::find_if(masks_.begin(), masks_.end(), [&](const MaskInputs& e) { return e.mask == shared; });
      if (it == masks_.end()) it = masks_.insert(masks_.end(), {shared, kFitChannels, -1});
      it->firstInput = std::min(it->firstInput, std::max(first, 0));
      it->lastInput = std::max(it->lastInput, std::min(first + length_ - 1, kFitChannels - 1));
    }
  }
  lambdas_.resize(masks_.size() * kFitChannels);
  lambdaReady_.resize(masks_.size());
  counts_.resize(kFitChannels);
  y_.resize(kFitChannels);
  v_.resize(kFitChannels);
  sums_.resize(static_cast<size_t>(length_));
}

// The Poisson variance each input channel brings to a pair of filtered
// channels that both lie in the windows of `mask`: the sample's count and,
// per standard k of the mask, its count times its K-ratio squared. Formed
// once per sample and mask, over the inputs the mask's pairs read.
const double* FitQualityPlan::lambdaFor(uint32_t mask, const std::array<double, kMaxStandards>& scale) {
  size_t slot = 0;
  while (masks_[slot].mask != mask) ++slot;
  double* lambda = lambdas_.data() + slot * kFitChannels;
  if (lambdaReady_[slot]) return lambda;
  lambdaReady_[slot] = 1;
  for (int32_t in = masks_[slot].firstInput; in <= masks_[slot].lastInput; ++in) {
    double l = std::max(counts_[static_cast<size_t>(in)], 0);
    for (uint32_t bits = mask; bits != 0; bits &= bits - 1) {
      const auto k = static_cast<size_t>(std::countr_zero(bits));
      if (scale[k] != 0.0) l += scale[k] * standardCounts_[k * kFitChannels + static_cast<size_t>(in)];
    }
    lambda[in] = l;
  }
  return lambda;
}

// Covariance of (filtered sample - fitted standards) over the window
// channels: two filtered channels share the input channels under both
// kernels; each input contributes its Poisson variance (lambdaFor). Outputs
// the filter does not write (past the spectrum, or reaching past channel
// 4095) carry none. Each pair's sum runs over the inputs in rising order;
// the pairs of one row that share a mask are summed side by side.
void FitQualityPlan::buildCovariance(const std::array<double, kMaxStandards>& coefficients, int32_t channels) {
  const auto n = static_cast<Eigen::Index>(union_.size());
  std::array<double, kMaxStandards> scale{};
  for (int k = 0; k < m_; ++k)
    scale[static_cast<size_t>(k)] = coefficients[static_cast<size_t>(k)] * coefficients[static_cast<size_t>(k)];
  std::fill(lambdaReady_.begin(), lambdaReady_.end(), 0);
  MatrixXd& cov = matrices_->cov;
  cov.setZero(n, n);
  const auto written = [&](int32_t c) { return c < channels && c - h_ - 1 + length_ - 1 < kFitChannels; };
  for (Eigen::Index i = 0; i < n; ++i) {
    const int32_t ci = union_[static_cast<size_t>(i)];
    if (!written(ci)) continue;
    const int32_t first = ci - h_ - 1;
    uint32_t summed = 0;
    bool any = false;
    for (Eigen::Index j = i; j < n && union_[static_cast<size_t>(j)] - ci < length_; ++j) {
      const int32_t cj = union_[static_cast<size_t>(j)];
      if (!written(cj)) continue;
      const uint32_t mask = rowMask_[static_cast<size_t>(i)] & rowMask_[static_cast<size_t>(j)];
      if (!any || mask != summed) {
        const double* lambda = lambdaFor(mask, scale);
        std::fill(sums_.begin(), sums_.end(), 0.0);
        for (int32_t a = std::max(0, -first); a < length_; ++a) {
          const double l = lambda[first + a];
          const double* products = weightProducts_.data() + static_cast<size_t>(a * length_);
          for (int32_t d = 0; d <= a; ++d) sums_[static_cast<size_t>(d)] += products[d] * l;
        }
        summed = mask;
        any = true;
      }
      cov(i, j) = cov(j, i) = sums_[static_cast<size_t>(cj - ci)];
    }
  }
}

FitQuality FitQualityPlan::assess(const std::array<double, kMaxStandards>& coefficients,
                                  const std::array<double, kMaxStandards>& errors, const int32_t* sampleCounts,
                                  int32_t channels, bool keepCurve) {
  FitQuality q;
  const int m = m_;
  // Whether each standard was seen at all depends on its K-ratio and error
  // only, so it holds even where the chi-square cannot be formed.
  for (int k = 0; k < std::clamp(m, 0, kMaxStandards); ++k)
    q.notDetected[static_cast<size_t>(k)] =
        std::fabs(coefficients[static_cast<size_t>(k)] * 100.0) <= errors[static_cast<size_t>(k)];
  channels = std::clamp(channels, 0, kFitChannels);
  if (m <= 0 || channels == 0) return q;

  // The sample as the fit saw it: filtered, with the fit's own weights.
  std::fill(counts_.begin(), counts_.end(), 0);
  std::copy_n(sampleCounts, channels, counts_.begin());
  std::fill(y_.begin(), y_.end(), 0.0);
  std::fill(v_.begin(), v_.end(), 0.0);
  TopHatFilter(counts_.data(), y_.data(), channels, fit_.Widths);
  TopHatVariance(counts_.data(), v_.data(), channels, fit_.Widths);

  const std::vector<int32_t>& u = union_;
  if (keepCurve) q.channels = u;
  const auto n = static_cast<Eigen::Index>(u.size());
  if (n <= m) return q;

  // Fit weights and residual.
  const MatrixXd& x = matrices_->x;
  VectorXd weight(n), r(n);
  for (Eigen::Index i = 0; i < n; ++i) {
    const int32_t c = u[static_cast<size_t>(i)];
    double model = 0.0;
    for (int k = 0; k < m; ++k)
      if (rowMask_[static_cast<size_t>(i)] >> k & 1u) model += coefficients[static_cast<size_t>(k)] * x(i, k);
    const double fitVariance = v_[static_cast<size_t>(c)] == 0.0 ? 1.0 : v_[static_cast<size_t>(c)];
    weight(i) = 1.0 / fitVariance;
    r(i) = y_[static_cast<size_t>(c)] - model;
  }

  buildCovariance(coefficients, channels);
  const MatrixXd& cov = matrices_->cov;

  // The fit takes its m parameters out: residual = P e with
  // P = I - X G X' W, G = (X' W X)^-1, so its covariance is P C P'.
  const MatrixXd wx = weight.asDiagonal() * x;
  const MatrixXd g = (x.transpose() * wx).ldlt().solve(MatrixXd::Identity(m, m));
  const MatrixXd t = (cov * wx) * g;
  MatrixXd& b = matrices_->b;
  if (general_ || deepOverlap_ || !t.allFinite()) {
    b.noalias() = cov - t * x.transpose();  // C P'
  } else {
    // Row j of X holds at most two non-zero entries (the windows holding
    // channel j), so each entry of T X' is a sum of at most two products,
    // which any order of summation gives alike.
    b.resize(n, n);
    for (Eigen::Index j = 0; j < n; ++j) {
      const uint32_t mask = rowMask_[static_cast<size_t>(j)];
      const int k0 = std::countr_zero(mask);
      const uint32_t rest = mask & (mask - 1);
      const double x0 = x(j, k0);
      if (rest == 0) {
        for (Eigen::Index i = 0; i < n; ++i) b(i, j) = cov(i, j) - (0.0 + t(i, k0) * x0);
      } else {
        const int k1 = std::countr_zero(rest);
        const double x1 = x(j, k1);
        for (Eigen::Index i = 0; i < n; ++i) b(i, j) = cov(i, j) - ((0.0 + t(i, k0) * x0) + t(i, k1) * x1);
      }
    }
  }
  MatrixXd& s = matrices_->s;
  s.noalias() = b - x * g * (wx.transpose() * b);  // P C P'

  // Weighted by each channel's own variance (the sample's and the
  // standards' counting noise), the residual's chi-square has expectation
  // tr(S~) and effective degrees of freedom tr(S~)^2 / tr(S~^2).
  VectorXd whiten = VectorXd::Zero(n);
  for (Eigen::Index i = 0; i < n; ++i)
    if (cov(i, i) > 0) whiten(i) = 1.0 / std::sqrt(cov(i, i));
  MatrixXd& sw = matrices_->sw;
  sw.noalias() = whiten.asDiagonal() * s * whiten.asDiagonal();
  const VectorXd rw = r.cwiseProduct(whiten);
  const double expected = sw.trace();
  if (!(expected > 0)) return q;
  q.chi2 = rw.squaredNorm();
  q.chi2Reduced = q.chi2 / expected;
  q.dof = expected * expected / sw.squaredNorm();
  q.valid = std::isfinite(q.chi2Reduced) && std::isfinite(q.dof);
  if (!q.valid) return q;

  if (keepCurve) {
    q.residual.assign(r.data(), r.data() + n);
    q.sigma.resize(static_cast<size_t>(n));
    for (Eigen::Index i = 0; i < n; ++i) q.sigma[static_cast<size_t>(i)] = std::sqrt(std::max(s(i, i), 0.0));
  }

  for (int k = 0; k < m; ++k) {
    const int32_t index = fit_.SelectedIndex[static_cast<size_t>(k)];
    const double kratio = coefficients[static_cast<size_t>(k)] * 100.0;
    const double error = errors[static_cast<size_t>(k)];
    if (kratio < -error) q.flags.push_back({FitFlagKind::NegativeKratio, index, k});

    // The window's own share of the chi-square against its own
    // expectation, and its largest single residual.
    const std::vector<std::ptrdiff_t>& rows = windowRows_[static_cast<size_t>(k)];
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

}  // namespace tolvane
