#include "display/plot_mapping.h"

#include <algorithm>
#include <cmath>

#include "display/vfs_ladder.h"

namespace tolvane {

ColumnMapping columnMapping(int32_t first, int32_t last, int32_t width) {
  const int64_t n = int64_t{last} - first + 1;
  if (n <= 0) return {-width, width};  // an empty window: one channel over the whole width
  const auto s = static_cast<int32_t>(n / width);
  if (s >= 1) return {s, 0};
  const auto p = static_cast<int32_t>(width / n);
  return {-p, p};
}

int32_t countRow(int32_t value, bool logScale, int32_t fullScaleIndex, int32_t height) {
  int64_t h = 0;
  if (logScale) {
    if (value >= 1) h = static_cast<int64_t>(std::trunc(std::log10(static_cast<double>(value)) * (height / 6)));
  } else {
    const int64_t fullScale = std::max<int64_t>(vfsFullScale(fullScaleIndex), 1);
    h = int64_t{value} * height / fullScale;
  }
  const int64_t row = std::clamp<int64_t>(int64_t{height} - h, kTopmostRow, height - 1);
  return static_cast<int32_t>(row);
}

int32_t columnOfChannel(int32_t channel, int32_t first, const ColumnMapping& m) {
  const int64_t offset = int64_t{channel} - first;
  const int64_t x = m.expanded() ? offset * m.p : offset / m.s;
  return static_cast<int32_t>(std::clamp<int64_t>(x, INT32_MIN / 2, INT32_MAX / 2));
}

}  // namespace tolvane
