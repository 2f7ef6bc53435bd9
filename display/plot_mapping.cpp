#include "display/plot_mapping.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "display/plot_geometry.h"
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

namespace {

int64_t logHeight(int32_t value, int32_t decade) {
  return static_cast<int64_t>(std::trunc(std::log10(static_cast<double>(value)) * decade));
}

// The log row is a step function of the count: for each height h, the
// smallest count that reaches it. Built once per decade size from the very
// expression it stands for, so a lookup gives exactly what log10 would,
// without a log10 per column on every paint.
class LogSteps {
 public:
  explicit LogSteps(int32_t decade) : decade_(decade) {
    for (int64_t h = 1;; ++h) {
      const double guess = std::ceil(std::pow(10.0, static_cast<double>(h) / decade));
      if (guess > 2147483647.0) break;
      auto v = static_cast<int32_t>(guess);
      while (v > 1 && logHeight(v - 1, decade) >= h) --v;
      while (v < INT32_MAX && logHeight(v, decade) < h) ++v;
      if (logHeight(v, decade) < h) break;
      thresholds_.push_back(v);
    }
  }
  int32_t decade() const { return decade_; }
  int64_t height(int32_t value) const {
    return std::upper_bound(thresholds_.begin(), thresholds_.end(), value) - thresholds_.begin();
  }

 private:
  int32_t decade_;
  std::vector<int32_t> thresholds_;
};

}  // namespace

int32_t countRow(int32_t value, bool logScale, int32_t fullScaleIndex, int32_t height) {
  int64_t h = 0;
  if (logScale) {
    static const LogSteps plotSteps(kPlotHeight / 6);
    const int32_t decade = height / 6;
    if (value >= 1) h = decade == plotSteps.decade() ? plotSteps.height(value) : logHeight(value, decade);
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
