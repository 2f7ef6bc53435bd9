#include "xfit/xfit_batch.h"

#include <algorithm>
#include <new>

namespace tolvane {

namespace {
constexpr std::align_val_t kScratchAlignment{64};
}

void XfitBatch::AlignedFree::operator()(void* p) const { ::operator delete(p, kScratchAlignment); }

XfitBatch::XfitBatch(const XfitWorkspace& loaded, BatchPath path)
    : path_(path),
      standards_(loaded.FitCount),
      plan_(loaded),
      scratch_(::operator new(batchScratchBytes(plan_.view(), path), kScratchAlignment)) {}

void XfitBatch::fitGroup(const int32_t* const* counts, const int32_t* n, int count, BatchFit* out) {
  std::array<int32_t, 8> channels{};
  count = std::clamp(count, 0, lanes());
  if (count == 0) return;
  for (int k = 0; k < count; ++k) channels[static_cast<size_t>(k)] = std::clamp(n[k], 0, kFitChannels);
  fitBatchGroup(path_, plan_.view(), counts, channels.data(), count, scratch_.get(), out);
  for (int k = 0; k < count; ++k)
    if (channels[static_cast<size_t>(k)] == 0) out[k].fitted = false;
}

bool XfitBatch::fit(const int32_t* counts, int32_t n, std::array<double, kMaxStandards>& coefficients,
                    std::array<double, kMaxStandards>& errors) {
  BatchFit result;
  fitGroup(&counts, &n, 1, &result);
  if (!result.fitted) return false;
  coefficients = result.coefficients;
  errors = result.errors;
  return true;
}

}  // namespace tolvane
