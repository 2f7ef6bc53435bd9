#pragma once
// The batch kernel: up to `lanes` samples fitted side by side, each lane of
// every vector instruction one sample. Each sample goes through the same
// IEEE operations, in the same order, as the single fit, so its K-ratios
// and errors are the same bits on every path.
#include <cstddef>
#include <cstdint>

#include "xfit/batch_path.h"
#include "xfit/batch_plan.h"

namespace tolvane {

// Bytes of working storage (aligned to 64) one group needs on `path`.
size_t batchScratchBytes(const BatchPlanView& plan, BatchPath path);

// Fits `count` samples (1 .. batchLanes(path)): counts[k] with n[k]
// channels (0 .. 4096; channels past n are taken as zero) into out[k].
// `path` must run on this CPU.
void fitBatchGroup(BatchPath path, const BatchPlanView& plan, const int32_t* const* counts, const int32_t* n, int count,
                   void* scratch, BatchFit* out);

}  // namespace tolvane
