#pragma once
// Which vector unit the batch kernel runs on. Every path computes the same
// IEEE operations in the same order for each sample, so they give the same
// bits; they differ only in how many samples run side by side.
#include <cstdint>

namespace tolvane {

enum class BatchPath {
  Baseline,  // x86-64 SSE2: 2 samples per instruction
  Avx2,      // 4 samples per instruction
  Avx512,    // 8 samples per instruction
};

inline constexpr BatchPath kBatchPaths[] = {BatchPath::Baseline, BatchPath::Avx2, BatchPath::Avx512};

// Whether this CPU (and its operating system) can run the path.
bool batchPathRuns(BatchPath path);
// The widest path this CPU runs.
BatchPath widestBatchPath();
// Samples fitted side by side on the path.
int batchLanes(BatchPath path);
const char* batchPathName(BatchPath path);

}  // namespace tolvane
