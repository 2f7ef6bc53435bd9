#include "analysis/snip_background.h"

#include <algorithm>
#include <cmath>

namespace tolvane {

namespace {

void smoothOnce(std::vector<double>& v) {
  const size_t n = v.size();
  if (n < 2) return;
  std::vector<double> out(n);
  out[0] = 0.75 * v[0] + 0.25 * v[1];
  out[n - 1] = 0.75 * v[n - 1] + 0.25 * v[n - 2];
  for (size_t i = 1; i + 1 < n; ++i) out[i] = 0.25 * v[i - 1] + 0.5 * v[i] + 0.25 * v[i + 1];
  v.swap(out);
}

double toLogLogSqrt(double y) { return std::log(std::log(std::sqrt(std::max(y, 0.0) + 1.0) + 1.0) + 1.0); }

double fromLogLogSqrt(double v) {
  const double root = std::exp(std::exp(v) - 1.0) - 1.0;
  return root * root - 1.0;
}

}  // namespace

std::vector<double> snipBackground(const int32_t* counts, int32_t size, const SnipOptions& options) {
  const size_t n = static_cast<size_t>(std::max(size, 0));
  std::vector<double> v(counts, counts + n);
  for (int pass = 0; pass < options.smoothing; ++pass) smoothOnce(v);
  if (options.logLogSqrt)
    for (double& x : v) x = toLogLogSqrt(x);

  // A window wider than half the spectrum clips nothing: no channel has
  // both neighbours.
  const size_t widest = std::min<size_t>(static_cast<size_t>(std::clamp(options.width, 0, kSnipMaxWidth)), n / 2);
  std::vector<double> clipped(v);
  for (size_t p = widest; p >= 1; --p) {
    for (size_t i = p; i + p < n; ++i) clipped[i] = std::min(v[i], 0.5 * (v[i - p] + v[i + p]));
    std::copy(clipped.begin() + static_cast<std::ptrdiff_t>(p), clipped.end() - static_cast<std::ptrdiff_t>(p),
              v.begin() + static_cast<std::ptrdiff_t>(p));
  }

  if (options.logLogSqrt)
    for (double& x : v) x = fromLogLogSqrt(x);
  return v;
}

int snipWidthForFwhm(double fwhmKev, double gainKev) {
  if (!(fwhmKev > 0.0) || !(gainKev > 0.0)) return 1;
  const double width = std::ceil(2.0 * fwhmKev / gainKev);
  return static_cast<int>(std::clamp(width, 1.0, static_cast<double>(kSnipMaxWidth)));
}

}  // namespace tolvane
