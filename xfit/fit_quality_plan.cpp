#include "xfit/fit_quality_plan.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>

namespace tolvane {

namespace {

using Eigen::MatrixXd;
using SmallMatrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, 0, kMaxStandards, kMaxStandards>;
using SmallVector = Eigen::Matrix<double, Eigen::Dynamic, 1, 0, kMaxStandards, 1>;

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

int64_t rangeSum(const std::vector<int64_t>& prefix, int32_t first, int32_t end) {
  first = std::clamp(first, 0, kFitChannels);
  end = std::clamp(end, 0, kFitChannels);
  return end > first ? prefix[static_cast<size_t>(end)] - prefix[static_cast<size_t>(first)] : 0;
}

// prefix[a] = the sum of the counts before input a, for a up to `end`
// (inputs past `channels` count as zero).
void prefixOf(const int32_t* counts, int32_t channels, bool positiveOnly, std::vector<int64_t>& prefix,
              int32_t end = kFitChannels) {
  prefix.resize(kFitChannels + 1);
  prefix[0] = 0;
  for (int32_t a = 0; a < end; ++a) {
    const int32_t v = a < channels ? counts[a] : 0;
    prefix[static_cast<size_t>(a) + 1] = prefix[static_cast<size_t>(a)] + (positiveOnly ? std::max(v, 0) : v);
  }
}

// r -= kr x and variance += kr2 v, channel by channel: the same IEEE
// operations on every vector width (no contraction into fused
// multiply-adds), so every path gives the same bits.
[[gnu::target_clones("avx512f", "avx2", "default")]] void takeStandard(double* __restrict r,
                                                                       double* __restrict variance,
                                                                       const double* __restrict x,
                                                                       const double* __restrict v, double kr,
                                                                       double kr2, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    r[i] -= kr * x[i];
    variance[i] += kr2 * v[i];
  }
}

// z2 = r^2 / variance where the variance is above zero, else 0; true when
// some variance is not above zero.
[[gnu::target_clones("avx512f", "avx2", "default")]] bool weighResiduals(const double* __restrict r,
                                                                         const double* __restrict variance,
                                                                         double* __restrict z2, size_t n) {
  bool zero = false;
  for (size_t i = 0; i < n; ++i) {
    const bool used = variance[i] > 0;
    zero |= !used;
    z2[i] = used ? r[i] * r[i] / (used ? variance[i] : 1.0) : 0.0;
  }
  return zero;
}

}  // namespace

// The filter over inputs [first, first + length): side weight `side` on
// the lobes, 1 on the centre. With integer counts and the usual widths
// every term and sum is an integer, so this gives the fit's values.
double FitQualityPlan::filtered(const std::vector<int64_t>& prefix, int32_t first, double side) const {
  const int32_t centreFirst = first + widths_.side, rightFirst = centreFirst + widths_.centre;
  const auto sides =
      static_cast<double>(rangeSum(prefix, first, centreFirst) + rangeSum(prefix, rightFirst, first + length_));
  return side * sides + static_cast<double>(rangeSum(prefix, centreFirst, rightFirst));
}

FitQualityPlan::FitQualityPlan(const XfitWorkspace& fit) : m_(fit.FitCount), widths_(fit.Widths) {
  if (m_ <= 0) return;
  length_ = 2 * widths_.side + widths_.centre;
  h_ = length_ / 2;
  side_ = widths_.centre * -0.5 / widths_.side;
  for (int32_t j = 0; j < length_; ++j)
    weight_.push_back(j < widths_.side || j >= widths_.side + widths_.centre ? side_ : 1.0);

  std::vector<uint32_t> mask(kFitChannels, 0);
  for (int k = 0; k < m_; ++k) {
    const StandardRecord& r = fit.SelectedCopy[static_cast<size_t>(k)];
    windows_.emplace_back(std::max(r.fitLowCh(), 0), std::min(r.fitHighCh(), kFitChannels));
    for (int32_t c = windows_.back().first; c < windows_.back().second; ++c) mask[static_cast<size_t>(c)] |= 1u << k;
  }
  windowRows_.resize(static_cast<size_t>(m_));
  for (int32_t c = 0; c < kFitChannels; ++c)
    if (mask[static_cast<size_t>(c)] != 0) {
      for (int k = 0; k < m_; ++k)
        if (mask[static_cast<size_t>(c)] >> k & 1u) windowRows_[static_cast<size_t>(k)].push_back(n_);
      union_.push_back(c);
      mask_.push_back(mask[static_cast<size_t>(c)]);
      ++n_;
    }

  // Every standard over the whole union, and the variance of its filtered
  // value (its own counting noise) where the filter wrote it.
  const auto n = static_cast<size_t>(n_);
  x_.assign(static_cast<size_t>(m_) * n, 0.0);
  stdVar_.assign(static_cast<size_t>(m_) * n, 0.0);
  std::vector<int64_t> prefix;
  stdChannels_ = fit.StdChannels;
  stdCounts_.assign(static_cast<size_t>(m_) * kFitChannels, 0);
  for (int k = 0; k < m_; ++k) {
    prefixOf(fit.stdCounts(k), kFitChannels, true, prefix);
    std::copy_n(fit.stdCounts(k), kFitChannels, stdCounts_.begin() + static_cast<std::ptrdiff_t>(k) * kFitChannels);
    for (size_t i = 0; i < n; ++i) {
      const int32_t c = union_[i];
      x_[static_cast<size_t>(k) * n + i] = fit.filteredStd(k)[c];
      if (c < fit.StdChannels && c - h_ - 1 + length_ - 1 < kFitChannels)
        stdVar_[static_cast<size_t>(k) * n + i] = filtered(prefix, c - h_ - 1, side_ * side_);
    }
  }
  planExpectation();
  planSpills();
  stdCounts_ = {};
  selectedIndex_ = fit.SelectedIndex;
  for (FitFlag& f : spills_) {
    f.index = fit.SelectedIndex[static_cast<size_t>(f.standard)];
    f.otherIndex = fit.SelectedIndex[static_cast<size_t>(f.otherStandard)];
  }
  for (size_t i = 0; i < n; ++i) {
    const int32_t first = union_[i] - h_ - 1;
    rowWritable_.push_back(first + length_ - 1 < kFitChannels);
    rowShiftWritable_.push_back(first + length_ < kFitChannels);
  }
  lobeSums_.resize(n);
  y_.resize(n);
  weightOfFit_.resize(n);
  r_.resize(n);
  var_.resize(n);
  residualVar_.resize(n);
  z2_.resize(n);
  writableRows_ = std::find(rowWritable_.begin(), rowWritable_.end(), 0) - rowWritable_.begin();
  for (int k = 0; k < m_; ++k) {
    const std::vector<int32_t>& rows = windowRows_[static_cast<size_t>(k)];
    windowFirstRow_[static_cast<size_t>(k)] = rows.empty() ? 0 : static_cast<size_t>(rows.front());
    windowEndRow_[static_cast<size_t>(k)] = rows.empty() ? 0 : static_cast<size_t>(rows.back()) + 1;
  }
  expectedPrefix_.assign(n + 1, 0.0);
  for (size_t i = 0; i < n; ++i) expectedPrefix_[i + 1] = expectedPrefix_[i] + expected_[i];
}

// How much of the chi-square a correct model leaves, row by row. The
// residual's noise is (I - H) e with H = X G X~' W (X the full model, X~
// the standards inside their own windows, W the fit's weights, G the
// inverse of its normal matrix) and e the filtered noise of covariance C;
// row i contributes (C - 2 H C + H C H')_ii / C_ii. C is worked out from
// the filter's weights for a sample whose counts are all the standards'
// together; the weights are the fit's for that sample.
void FitQualityPlan::planExpectation() {
  const auto n = static_cast<size_t>(n_);
  const auto m = static_cast<size_t>(m_);
  std::vector<int32_t> lambda(kFitChannels, 0);
  for (int32_t a = 0; a < kFitChannels; ++a)
    for (size_t k = 0; k < m; ++k) lambda[static_cast<size_t>(a)] += std::max(stdCounts_[k * kFitChannels + a], 0);
  std::vector<int64_t> prefix;
  prefixOf(lambda.data(), kFitChannels, true, prefix);

  // Rows the filter writes for a sample as long as the standards.
  std::vector<char> rowWritten(n);
  std::vector<double> d(n, 0.0);
  referenceWeight_.assign(n, 1.0);
  for (size_t i = 0; i < n; ++i) {
    const int32_t c = union_[i];
    rowWritten[i] = c < stdChannels_ && c - h_ - 1 + length_ - 1 < kFitChannels;
    if (rowWritten[i]) d[i] = filtered(prefix, c - h_ - 1, side_ * side_);
    const double v =
        c < stdChannels_ && c - h_ + length_ - 1 < kFitChannels ? filtered(prefix, c - h_, side_ * side_) : 0.0;
    referenceWeight_[i] = v == 0.0 ? 1.0 : 1.0 / v;
  }
  // The covariance of two written rows less than a filter's length apart:
  // the inputs under both windows, each weighted by both filters.
  const auto covariance = [&](size_t i, size_t j) {
    const int32_t fi = union_[i] - h_ - 1, fj = union_[j] - h_ - 1;
    double c = 0.0;
    for (int32_t a = std::max({fi, fj, 0}); a < std::min(fi, fj) + length_ && a < kFitChannels; ++a)
      c += weight_[static_cast<size_t>(a - fi)] * weight_[static_cast<size_t>(a - fj)] * lambda[static_cast<size_t>(a)];
    return c;
  };
  const auto inWindow = [&](size_t i, size_t k) { return (mask_[i] >> k & 1u) != 0; };

  MatrixXd normal = MatrixXd::Zero(m_, m_);
  for (size_t i = 0; i < n; ++i)
    for (size_t j = 0; j < m; ++j)
      for (size_t k = 0; k < m; ++k)
        if (inWindow(i, j) && inWindow(i, k))
          normal(static_cast<Eigen::Index>(j), static_cast<Eigen::Index>(k)) +=
              referenceWeight_[i] * x_[j * n + i] * x_[k * n + i];
  const MatrixXd g = normal.ldlt().solve(MatrixXd::Identity(m_, m_));

  // q = C W X~, row by row over the band; the squared correlations on the way.
  MatrixXd q = MatrixXd::Zero(n_, m_);
  windowSquares_.assign(m, 0.0);
  squares_ = 0.0;
  for (size_t i = 0; i < n; ++i) {
    if (!rowWritten[i]) continue;
    for (size_t j = i; j < n && union_[j] - union_[i] < length_; ++j) {
      if (!rowWritten[j]) continue;
      const double c = covariance(i, j);
      for (size_t k = 0; k < m; ++k) {
        if (inWindow(j, k))
          q(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(k)) += c * referenceWeight_[j] * x_[k * n + j];
        if (j != i && inWindow(i, k))
          q(static_cast<Eigen::Index>(j), static_cast<Eigen::Index>(k)) += c * referenceWeight_[i] * x_[k * n + i];
      }
      if (d[i] > 0 && d[j] > 0) {
        const double rho2 = (j == i ? 1.0 : 2.0) * c * c / (d[i] * d[j]);
        squares_ += rho2;
        for (size_t k = 0; k < m; ++k)
          if (inWindow(i, k) && inWindow(j, k)) windowSquares_[k] += rho2;
      }
    }
  }
  MatrixXd x(n_, m_), xWindowed = MatrixXd::Zero(n_, m_);
  for (size_t k = 0; k < m; ++k)
    for (size_t i = 0; i < n; ++i) {
      x(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(k)) = x_[k * n + i];
      if (inWindow(i, k)) xWindowed(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(k)) = x_[k * n + i];
    }
  const MatrixXd xg = x * g;
  const Eigen::VectorXd w = Eigen::Map<const Eigen::VectorXd>(referenceWeight_.data(), n_);
  const MatrixXd kernel = xWindowed.transpose() * w.asDiagonal() * q;
  expected_.assign(n, 1.0);
  if (!g.allFinite()) return;
  for (size_t i = 0; i < n; ++i) {
    if (!(d[i] > 0)) continue;
    const auto row = static_cast<Eigen::Index>(i);
    const double hc = xg.row(row).dot(q.row(row));
    const double hch = xg.row(row) * kernel * xg.row(row).transpose();
    expected_[i] = std::clamp(1.0 - (2.0 * hc - hch) / d[i], 0.0, 1.0);
  }
}

// Standard k spills into the window of j where its filtered spectrum is
// there but outside its own window: the per-window model leaves that part
// out, and j's K-ratio moves by about (its share of j's normal equation) x
// k's K-ratio. Worked out with the fit's weights for the sample of all
// standards; significant against k's own counting noise.
void FitQualityPlan::planSpills() {
  const auto n = static_cast<size_t>(n_);
  for (int k = 0; k < m_; ++k)
    for (int j = 0; j < m_; ++j) {
      if (j == k) continue;
      const double* xk = x_.data() + static_cast<size_t>(k) * n;
      const double* xj = x_.data() + static_cast<size_t>(j) * n;
      const double* vk = stdVar_.data() + static_cast<size_t>(k) * n;
      double spill = 0.0, noise = 0.0, own = 0.0;
      int32_t first = -1, last = -1, outsideFirst = -1, outsideLast = -1;
      for (const int32_t row : windowRows_[static_cast<size_t>(j)]) {
        const auto i = static_cast<size_t>(row);
        const double wj = referenceWeight_[i] * xj[i];
        own += wj * xj[i];
        if (mask_[i] >> k & 1u) continue;
        spill += wj * xk[i];
        noise += wj * wj * vk[i];
        if (outsideFirst < 0) outsideFirst = union_[i];
        outsideLast = union_[i];
        if (std::fabs(xk[i]) > kSpillSignificance * std::sqrt(vk[i])) {
          if (first < 0) first = union_[i];
          last = union_[i];
        }
      }
      if (!(own > 0) || std::fabs(spill) <= kSpillBiasLimit * own ||
          spill * spill <= kSpillSignificance * kSpillSignificance * noise)
        continue;
      FitFlag flag;
      flag.kind = FitFlagKind::WindowSpill;
      flag.standard = k;
      flag.otherStandard = j;
      flag.firstChannel = first >= 0 ? first : outsideFirst;
      flag.lastChannel = first >= 0 ? last : outsideLast;
      spills_.push_back(flag);
    }
}

bool FitQualityPlan::solveFullModel(std::array<double, kMaxStandards>& kratios, int32_t channels) {
  // lobeSums_ of every row up to `channels` were made by assess.
  const auto n = static_cast<size_t>(n_);
  // The fit's own weights: the variance filter one channel later, a zero
  // taken as 1.
  const double sideSquared = side_ * side_;
  for (size_t i = 0; i < n; ++i) {
    double v = 0.0;
    if (union_[i] < channels && rowShiftWritable_[i]) {
      // The next channel's lobes: the next row's when it is that channel.
      const LobeSums next = i + 1 < n && union_[i + 1] == union_[i] + 1 && lobeSumsMade_[i + 1]
                                ? lobeSums_[i + 1]
                                : slide(lobeSums_[i], union_[i] - h_ - 1, sampleCounts_, channels);
      v = sideSquared * static_cast<double>(next.left + next.right) + static_cast<double>(next.centre);
    }
    weightOfFit_[i] = 1.0 / (v == 0.0 ? 1.0 : v);
  }
  SmallMatrix a = SmallMatrix::Zero(m_, m_);
  SmallVector b = SmallVector::Zero(m_);
  for (int j = 0; j < m_; ++j)
    for (const int32_t row : windowRows_[static_cast<size_t>(j)]) {
      const auto i = static_cast<size_t>(row);
      const double wx = weightOfFit_[i] * x_[static_cast<size_t>(j) * n + i];
      b(j) += wx * y_[i];
      for (int k = 0; k < m_; ++k) a(j, k) += wx * x_[static_cast<size_t>(k) * n + i];
    }
  const Eigen::PartialPivLU<SmallMatrix> lu(a);
  const SmallVector solution = lu.solve(b);
  if (!solution.allFinite()) return false;
  for (int k = 0; k < m_; ++k) kratios[static_cast<size_t>(k)] = solution(k);
  return true;
}

}  // namespace tolvane

namespace tolvane {

FitQualityPlan::LobeSums FitQualityPlan::lobeSumsAt(int32_t first, const int32_t* counts, int32_t channels) const {
  LobeSums l;
  for (int32_t j = 0; j < length_; ++j) {
    const int32_t a = first + j;
    const int64_t v = a >= 0 && a < channels ? counts[a] : 0;
    const int64_t positive = std::max<int64_t>(v, 0);
    if (j < widths_.side) {
      l.left += v;
      l.leftPositive += positive;
    } else if (j < widths_.side + widths_.centre) {
      l.centre += v;
      l.centrePositive += positive;
    } else {
      l.right += v;
      l.rightPositive += positive;
    }
  }
  return l;
}

// The lobes of the window starting at first + 1 from those starting at
// `first`: at each lobe's start an input leaves, past its end one enters.
FitQualityPlan::LobeSums FitQualityPlan::slide(LobeSums l, int32_t first, const int32_t* counts,
                                               int32_t channels) const {
  const auto in = [&](int32_t a) -> int64_t { return a >= 0 && a < channels ? counts[a] : 0; };
  const int32_t centreFirst = first + widths_.side, rightFirst = centreFirst + widths_.centre, end = first + length_;
  const int64_t a0 = in(first), a1 = in(centreFirst), a2 = in(rightFirst), a3 = in(end);
  l.left += a1 - a0;
  l.centre += a2 - a1;
  l.right += a3 - a2;
  const int64_t p0 = std::max<int64_t>(a0, 0), p1 = std::max<int64_t>(a1, 0), p2 = std::max<int64_t>(a2, 0),
                p3 = std::max<int64_t>(a3, 0);
  l.leftPositive += p1 - p0;
  l.centrePositive += p2 - p1;
  l.rightPositive += p3 - p2;
  return l;
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
  if (m <= 0 || channels == 0 || n_ == 0) return q;
  const auto n = static_cast<size_t>(n_);

  // The sample as the fit saw it on the window channels, and the variance
  // of each filtered channel, from the sums of the filter's three lobes:
  // made afresh at the first row of a run of channels, then slid by one
  // channel per row (an input enters and one leaves each lobe). The
  // variance counts only the counts above zero.
  const auto written = static_cast<size_t>(
      std::min<ptrdiff_t>(writableRows_, std::lower_bound(union_.begin(), union_.end(), channels) - union_.begin()));
  sampleCounts_ = sampleCounts;
  const double sideSquared = side_ * side_;
  std::fill(y_.begin() + static_cast<ptrdiff_t>(written), y_.end(), 0.0);
  std::fill(var_.begin() + static_cast<ptrdiff_t>(written), var_.end(), 0.0);
  lobeSumsMade_.assign(n, 0);
  const bool keepLobes = !spills_.empty();  // the fit's weights are formed from them
  const auto in = [sampleCounts, channels](int32_t a) -> int64_t {
    return a >= 0 && a < channels ? sampleCounts[a] : 0;
  };
  // Locals, so that the stores below cannot be taken for changes to them.
  const int32_t* rowChannel = union_.data();
  double* y = y_.data();
  double* var = var_.data();
  const double side = side_;
  const int32_t toCentre = widths_.side - 1, toRight = widths_.side + widths_.centre - 1, toEnd = length_ - 1;
  LobeSums l;
  for (size_t i = 0; i < written; ++i) {
    const int32_t first = rowChannel[i] - h_ - 1;
    if (i > 0 && rowChannel[i - 1] == rowChannel[i] - 1) {
      const int64_t a0 = in(first - 1), a1 = in(first + toCentre), a2 = in(first + toRight), a3 = in(first + toEnd);
      l.left += a1 - a0;
      l.centre += a2 - a1;
      l.right += a3 - a2;
      if ((a0 | a1 | a2 | a3) < 0) {
        l.leftPositive += std::max<int64_t>(a1, 0) - std::max<int64_t>(a0, 0);
        l.centrePositive += std::max<int64_t>(a2, 0) - std::max<int64_t>(a1, 0);
        l.rightPositive += std::max<int64_t>(a3, 0) - std::max<int64_t>(a2, 0);
      } else {
        l.leftPositive += a1 - a0;
        l.centrePositive += a2 - a1;
        l.rightPositive += a3 - a2;
      }
    } else {
      l = lobeSumsAt(first, sampleCounts, channels);
    }
    if (keepLobes) {
      lobeSums_[i] = l;
      lobeSumsMade_[i] = 1;
    }
    y[i] = side * static_cast<double>(l.left + l.right) + static_cast<double>(l.centre);
    var[i] =
        sideSquared * static_cast<double>(l.leftPositive + l.rightPositive) + static_cast<double>(l.centrePositive);
  }

  // The residual against the full model with the given K-ratios, standard
  // by standard over all rows, and the chi-square of the written rows whose
  // variance is not zero. A window's rows are a run of rows, so its sums
  // are sums over a range; the expectations come from running sums made
  // with the plan.
  struct Sums {
    double chi2 = 0.0, expected = 0.0;
    std::array<double, kMaxStandards> windowChi2{}, windowExpected{}, largest{};
  };
  const auto residuals = [&](const std::array<double, kMaxStandards>& kratios) {
    std::copy(y_.begin(), y_.end(), r_.begin());
    std::copy(var_.begin(), var_.end(), residualVar_.begin());
    double* r = r_.data();
    double* variance = residualVar_.data();
    for (int k = 0; k < m; ++k) {
      const double kr = kratios[static_cast<size_t>(k)];
      takeStandard(r, variance, x_.data() + static_cast<size_t>(k) * n, stdVar_.data() + static_cast<size_t>(k) * n, kr,
                   kr * kr, n);
    }
    const bool zeroVariance = weighResiduals(r, variance, z2_.data(), written);
    // Four running sums side by side: the additions need not wait for
    // each other.
    const auto sum = [this](size_t first, size_t end) {
      double part[4] = {0.0, 0.0, 0.0, 0.0};
      size_t i = first;
      for (; i + 4 <= end; i += 4)
        for (size_t j = 0; j < 4; ++j) part[j] += z2_[i + j];
      for (; i < end; ++i) part[0] += z2_[i];
      return (part[0] + part[1]) + (part[2] + part[3]);
    };
    // A row without variance is not used: its share of the expectation goes.
    const auto expectedOver = [&](size_t first, size_t end) {
      double e = expectedPrefix_[end] - expectedPrefix_[first];
      if (zeroVariance)
        for (size_t i = first; i < end; ++i)
          if (!(variance[i] > 0)) e -= expected_[i];
      return e;
    };
    Sums s;
    s.chi2 = sum(0, written);
    s.expected = expectedOver(0, written);
    for (int k = 0; k < m; ++k) {
      const auto kk = static_cast<size_t>(k);
      const size_t first = std::min(windowFirstRow_[kk], written), end = std::min(windowEndRow_[kk], written);
      s.windowChi2[kk] = sum(first, end);
      s.windowExpected[kk] = expectedOver(first, end);
      for (size_t i = first; i < end; ++i) s.largest[kk] = std::max(s.largest[kk], z2_[i]);
    }
    return s;
  };
  const Sums plain = residuals(coefficients);
  if (keepCurve) {
    q.channels = union_;
    q.residual.assign(r_.begin(), r_.end());
    q.sigma.resize(n);
    for (size_t i = 0; i < written; ++i) q.sigma[i] = residualVar_[i] > 0 ? std::sqrt(residualVar_[i]) : 0.0;
  }
  if (!(plain.expected > 0)) return q;
  q.chi2 = plain.chi2;
  q.chi2Reduced = plain.chi2 / plain.expected;
  q.dof = squares_ > 0 ? plain.expected * plain.expected / squares_ : plain.expected;
  q.chi2ReducedAfterSpill = q.chi2Reduced;
  q.valid = std::isfinite(q.chi2Reduced) && std::isfinite(q.dof);
  if (!q.valid) return q;

  // On a table that spills, the tests of the model are made against the
  // K-ratios the full model gives, so that the spill's bias (flagged on its
  // own) does not read as a line the standards lack.
  Sums model = plain;
  std::array<double, kMaxStandards> unbiased{};
  if (!spills_.empty() && solveFullModel(unbiased, channels)) {
    model = residuals(unbiased);
    if (model.expected > 0) q.chi2ReducedAfterSpill = model.chi2 / model.expected;
  }

  for (int k = 0; k < m; ++k) {
    const auto kk = static_cast<size_t>(k);
    const int32_t index = selectedIndex_[kk];
    const double kratio = coefficients[kk] * 100.0;
    if (kratio < -errors[kk]) q.flags.push_back({FitFlagKind::NegativeKratio, index, k});
    // The window's own share of the chi-square against its own
    // expectation, and its largest single residual.
    bool systematic = model.largest[kk] > kResidualSigmaLimit * kResidualSigmaLimit;
    const double expectedK = model.windowExpected[kk];
    if (expectedK > 0 && windowSquares_[kk] > 0) {
      const double nu = expectedK * expectedK / windowSquares_[kk];
      systematic = systematic || model.windowChi2[kk] * nu / expectedK > chi2Quantile(nu, kWindowZ);
    }
    if (systematic) q.flags.push_back({FitFlagKind::SystematicResidual, index, k});
  }
  q.flags.insert(q.flags.end(), spills_.begin(), spills_.end());
  if (q.chi2ReducedAfterSpill > kChi2ReducedLimit) q.flags.push_back({FitFlagKind::Chi2High, -1, -1});
  return q;
}

}  // namespace tolvane
