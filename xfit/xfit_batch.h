#pragma once
// Many samples against one loaded table: the standards are filtered once,
// and each sample is filtered only on the fit windows. Samples run side by
// side through the batch kernel on the widest vector unit of the CPU (or a
// path chosen by the caller); the results are the single fit's to the bit.
#include <array>
#include <cstdint>
#include <memory>

#include "xfit/batch_kernel.h"
#include "xfit/batch_path.h"
#include "xfit/batch_plan.h"
#include "xfit/mlsq_fit.h"

namespace tolvane {

class XfitBatch {
 public:
  // `path` must run on this CPU (batchPathRuns).
  explicit XfitBatch(const XfitWorkspace& loaded, BatchPath path = widestBatchPath());

  // Samples fitted side by side by fitGroup.
  int lanes() const { return batchLanes(path_); }
  BatchPath path() const { return path_; }
  int32_t standards() const { return standards_; }

  // Fits `count` samples (1 .. lanes()): counts[k] has n[k] channels, cut
  // to 4096; channels past n count as zero. A sample of no channels is not
  // fitted.
  void fitGroup(const int32_t* const* counts, const int32_t* n, int count, BatchFit* out);

  // One sample; coefficients and errors in the fit's units (K-ratio as a
  // fraction, error in percent). False when it could not be fitted.
  bool fit(const int32_t* counts, int32_t n, std::array<double, kMaxStandards>& coefficients,
           std::array<double, kMaxStandards>& errors);

 private:
  struct AlignedFree {
    void operator()(void* p) const;
  };
  BatchPath path_;
  int32_t standards_;
  BatchPlan plan_;
  std::unique_ptr<void, AlignedFree> scratch_;
};

}  // namespace tolvane
