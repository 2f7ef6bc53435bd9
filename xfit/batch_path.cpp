#include "xfit/batch_path.h"

namespace tolvane {

bool batchPathRuns(BatchPath path) {
#if defined(__x86_64__)
  __builtin_cpu_init();
  switch (path) {
    case BatchPath::Baseline:
      return true;
    case BatchPath::Avx2:
      return __builtin_cpu_supports("avx2");
    case BatchPath::Avx512:
      return __builtin_cpu_supports("avx512f");
  }
  return false;
#else
  return path == BatchPath::Baseline;
#endif
}

BatchPath widestBatchPath() {
  if (batchPathRuns(BatchPath::Avx512)) return BatchPath::Avx512;
  if (batchPathRuns(BatchPath::Avx2)) return BatchPath::Avx2;
  return BatchPath::Baseline;
}

int batchLanes(BatchPath path) {
  switch (path) {
    case BatchPath::Baseline:
      return 2;
    case BatchPath::Avx2:
      return 4;
    case BatchPath::Avx512:
      return 8;
  }
  return 2;
}

const char* batchPathName(BatchPath path) {
  switch (path) {
    case BatchPath::Baseline:
      return "x86-64";
    case BatchPath::Avx2:
      return "avx2";
    case BatchPath::Avx512:
      return "avx512f";
  }
  return "?";
}

}  // namespace tolvane
