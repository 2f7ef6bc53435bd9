#pragma once
// The assessment of fits against one loaded table, split into what depends
// on the standards alone (the fit windows and their union, the filtered
// standards over it, the standards' counts, the filter's weight products),
// made once, and the work per sample. A batch makes one plan per worker and
// assesses every spectrum with it; assessFit makes one for a single fit.
// Both do the same IEEE operations in the same order, so a batch gives the
// bits assessFit gives.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "xfit/fit_quality.h"
#include "xfit/mlsq_fit.h"

namespace tolvane {

class FitQualityPlan {
 public:
  // `fit` must outlive the plan and keep its standards while it is used.
  explicit FitQualityPlan(const XfitWorkspace& fit);
  ~FitQualityPlan();
  FitQualityPlan(const FitQualityPlan&) = delete;
  FitQualityPlan& operator=(const FitQualityPlan&) = delete;

  // As assessFit. Without `keepCurve` the residual curve (channels,
  // residual, sigma) is left empty: a batch keeps the figures only.
  FitQuality assess(const std::array<double, kMaxStandards>& coefficients,
                    const std::array<double, kMaxStandards>& errors, const int32_t* sampleCounts, int32_t channels,
                    bool keepCurve = true);

  // Forms the model's share of the residual covariance with the general
  // matrix product even where a channel lies in at most two windows (where
  // it is otherwise formed term by term). Both give the same bits; tests
  // compare them.
  void useGeneralProducts(bool general) { general_ = general; }

 private:
  void buildCovariance(const std::array<double, kMaxStandards>& coefficients, int32_t channels);
  const double* lambdaFor(uint32_t mask, const std::array<double, kMaxStandards>& scale);

  const XfitWorkspace& fit_;
  int m_ = 0;
  bool general_ = false;
  bool deepOverlap_ = false;  // a channel lies in three windows or more
  // The filter as weights on its input channels: output c reads input
  // c - h - 1 + a with weight weight_[a].
  std::vector<double> weight_;
  int32_t h_ = 0;
  int32_t length_ = 0;
  // weightProducts_[a * length_ + d] = weight_[a] * weight_[a - d] for
  // d <= a, else 0: the weights two outputs d channels apart give input a.
  std::vector<double> weightProducts_;
  std::vector<std::pair<int32_t, int32_t>> windows_;
  std::vector<int32_t> union_;     // the channels of the fit windows, each once, in order
  std::vector<uint32_t> rowMask_;  // per union channel: the windows holding it, bit k for standard k
  std::vector<std::vector<std::ptrdiff_t>> windowRows_;
  std::vector<double> standardCounts_;  // max(count, 0) of standard k at input c: [k * kFitChannels + c]

  // Work space reused from sample to sample.
  std::vector<int32_t> counts_;
  std::vector<double> y_, v_;
  struct MaskInputs {
    uint32_t mask;
    int32_t firstInput, lastInput;
  };
  std::vector<MaskInputs> masks_;
  std::vector<double> lambdas_;  // per mask in masks_: the Poisson variance of each input
  std::vector<char> lambdaReady_;
  std::vector<double> sums_;
  // The filtered standards over the union (0 outside their windows) and
  // the n x n matrices of the covariance, reused from sample to sample.
  struct Matrices;
  std::unique_ptr<Matrices> matrices_;
};

}  // namespace tolvane
