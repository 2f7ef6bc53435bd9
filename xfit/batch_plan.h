#pragma once
// What the batch kernel needs from a loaded table, worked out once: the
// channels of the fit windows packed together, the filtered standards on
// those channels, and for every pair of overlapping windows the products
// of the two standards channel by channel. A product of two numbers is the
// same whichever sample it is used for, so forming it once changes no
// result.
#include <array>
#include <cstdint>
#include <vector>

#include "xfit/mlsq_fit.h"

namespace tolvane {

// A run of neighbouring window channels.
struct BatchRun {
  int32_t first;  // first channel
  int32_t last;   // last channel
  int32_t index;  // packed index of `first`
};

// An entry of the normal matrix: standards i <= j and their overlap as a
// range of packed indices; `product` is where its products start.
struct BatchPair {
  int32_t i, j;
  int32_t low, high;
  int32_t product;
};

// The plan as plain pointers and counts, as the kernel reads it.
struct BatchPlanView {
  int32_t standards = 0;
  int32_t factor = 0;  // the filter factor of the uncertainties
  int32_t packed = 0;  // window channels in all
  int32_t runCount = 0;
  const BatchRun* runs = nullptr;
  const int32_t* channels = nullptr;  // packed index -> channel
  const int32_t* low = nullptr;       // per standard, its window in packed indices
  const int32_t* high = nullptr;
  const double* filtered = nullptr;   // standard k at packed index p: filtered[k * packed + p]
  const int32_t* diagonal = nullptr;  // per standard, where its own products start (-1: empty window)
  int32_t pairCount = 0;              // the overlaps of two different standards
  const BatchPair* pairs = nullptr;
  const double* products = nullptr;
  int32_t longestRun = 0;  // channels of the longest run
};

// One sample's result: K-ratio as a fraction and its error in percent per
// selected standard, or not fitted (a zero or non-finite pivot, or a
// result that is not finite).
struct BatchFit {
  bool fitted = false;
  std::array<double, kMaxStandards> coefficients{};
  std::array<double, kMaxStandards> errors{};
};

class BatchPlan {
 public:
  explicit BatchPlan(const XfitWorkspace& loaded);
  BatchPlanView view() const;

 private:
  int32_t standards_ = 0;
  int32_t factor_ = 0;
  std::vector<BatchRun> runs_;
  std::vector<int32_t> channels_;
  std::vector<int32_t> low_, high_, diagonal_;
  std::vector<double> filtered_;
  std::vector<BatchPair> pairs_;
  std::vector<double> products_;
  int32_t longestRun_ = 0;
};

}  // namespace tolvane
