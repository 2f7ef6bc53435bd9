#include "analysis/mn_fit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "records/shared_records.h"

namespace tolvane {

namespace {

constexpr double kHeightPerArea = 0.9398496240601504;  // 1/1.064
constexpr double kExponent = -2.773;                   // -4 ln 2

double gaussianDouble(float a, float x, int64_t k, float g2) {
  const float d = x - static_cast<float>(k);
  return static_cast<double>(a) * std::exp(kExponent * d * d / static_cast<double>(g2));
}

// One pass of ten trials shifting both positions together; returns the
// index of the smallest chi-square (the lowest index on ties).
int gridPass(const SpectrumView& y, int64_t first, int64_t last, MnFitResult& r, float start, float step) {
  std::array<float, 10> chi{};
  for (int i = 0; i < 10; ++i) {
    const float t1 = static_cast<float>(i) * step + (r.x1 + start);
    const float t2 = static_cast<float>(i) * step + (r.x2 + start);
    r.lastTrialX1 = t1;
    r.lastTrialX2 = t2;
    for (int64_t k = first; k <= last; ++k) {
      const double model = gaussianDouble(r.a2, t2, k, r.g2) + static_cast<double>(gaussianAt(r.a1, t1, k, r.g2));
      const double residual = static_cast<double>(y.at(k)) - model;
      chi[static_cast<size_t>(i)] =
          static_cast<float>(static_cast<double>(chi[static_cast<size_t>(i)]) + residual * residual);
    }
  }
  int best = 0;
  for (int i = 1; i < 10; ++i)
    if (chi[static_cast<size_t>(i)] < chi[static_cast<size_t>(best)]) best = i;
  return best;
}

int64_t truncated(float v) {
  return static_cast<int64_t>(std::clamp(std::trunc(static_cast<double>(v)), -9.0e18, 9.0e18));
}

}  // namespace

float gaussianAt(float a, float x, int64_t k, float g2) { return static_cast<float>(gaussianDouble(a, x, k, g2)); }

MnFitResult fitMnKAlpha(const SpectrumView& y, int32_t cursor, int32_t lo, int32_t hi, float kAlpha1Ev,
                        float kAlpha2Ev) {
  MnFitResult r;
  const PeakNearCursor peak = r.peak = findPeakNearCursor(y, cursor);
  if (!peak.found || peak.centroid == 0.0f) return r;
  lo = std::clamp(lo, 0, y.size - 1);
  hi = std::clamp(hi, 0, y.size - 1);
  const int32_t p = peak.channel;
  r.centroid = peak.centroid;
  if (p <= lo || p >= hi) {
    r.outcome = MnFitResult::Outcome::PeakAtViewEdge;
    return r;
  }
  const int32_t h = peak.height / 2;
  int32_t left = lo, right = hi;
  for (int32_t k = p; k > lo; --k)
    if (y.at(k) <= h) {
      left = k;
      break;
    }
  for (int32_t k = p; k < hi; ++k)
    if (y.at(k) <= h) {
      right = k;
      break;
    }
  r.fwhmCh = static_cast<float>(right - left) - edgeFraction(h, y.at(left), y.at(left + 1), y.at(left)) -
             edgeFraction(h, y.at(right), y.at(right - 1), y.at(right));
  r.evPerChannel = kAlpha1Ev / r.centroid;
  r.fwhmEv = r.fwhmCh * r.evPerChannel;
  r.x1 = r.startX1 = r.centroid;
  r.x2 = r.startX2 = kAlpha2Ev / r.evPerChannel;

  // The fit window: 2n channels about the centroid, inside the spectrum.
  const double halfWidth = std::trunc(1.5 * static_cast<double>(r.fwhmEv) / static_cast<double>(r.evPerChannel));
  const auto n = static_cast<int64_t>(std::clamp(halfWidth, 0.0, static_cast<double>(y.size)));
  const auto centre = static_cast<int64_t>(std::trunc(static_cast<double>(r.centroid)));
  const int64_t first = std::max<int64_t>(centre - n, 0);
  const int64_t last = std::min<int64_t>(centre + n - 1, y.size - 1);

  float total = 0.0f;
  for (int64_t k = first; k <= last; ++k) total += static_cast<float>(y.at(k));
  const auto a1Area = static_cast<float>(static_cast<double>(total) * 1.0 * 2 / 3);
  const auto a2Area = static_cast<float>(static_cast<double>(total) * 0.5 * 2 / 3);
  const float g = r.fwhmEv / r.evPerChannel;
  r.a1 = static_cast<float>(kHeightPerArea * static_cast<double>(a1Area) / static_cast<double>(g));
  r.a2 = static_cast<float>(kHeightPerArea * static_cast<double>(a2Area) / static_cast<double>(g));
  r.g2 = g * g;

  const struct { float start, step; } passes[] = {{-0.5f, 0.1f}, {-0.05f, 0.01f}};
  for (const auto& pass : passes) {
    const int best = gridPass(y, first, last, r, pass.start, pass.step);
    r.x1 = static_cast<float>(best) * pass.step + (r.x1 + pass.start);
    r.x2 = static_cast<float>(best) * pass.step + (r.x2 + pass.start);
  }
  r.outcome = MnFitResult::Outcome::Fitted;
  return r;
}

void recordMnFit(MnFitState& state, const MnFitResult& r) {
  state.EvPerChannel = r.evPerChannel;
  state.KAlpha1Position = r.lastTrialX1;
  state.KAlpha2Position = r.lastTrialX2;
}

MnFitOverlay mnFitOverlay(const SpectrumView& y, const MnFitResult& r, const OverlayFrame& frame) {
  MnFitOverlay overlay;
  const int64_t W = std::max(frame.width, 0), H = frame.height;
  if (W == 0) return overlay;
  const int64_t V = std::max<int64_t>(frame.fullScale, 1);
  const int64_t lo = frame.firstShown, span = int64_t{frame.lastShown} - lo + 1;
  const int64_t q = span > 0 ? span / W : 0;
  const int64_t pixels = span > 0 && q == 0 ? W / span : W;
  const auto g1 = [&](int64_t k) { return gaussianAt(r.a1, r.x1, k, r.g2); };
  const auto g2 = [&](int64_t k) { return gaussianAt(r.a2, r.x2, k, r.g2); };
  // Curves below the bottom edge lie on the bottom row.
  const auto row = [&](int64_t v) {
    return static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(v, frame.topRow), H - 1));
  };
  for (auto* curve : {&overlay.kAlpha1, &overlay.kAlpha2, &overlay.sum, &overlay.residual})
    curve->resize(static_cast<size_t>(W));
  for (int64_t x = 0; x < W; ++x) {
    int64_t z1, z2, rest;
    if (q == 0) {
      const int64_t k = lo + x / pixels;
      z1 = truncated(static_cast<float>(H) * g1(k) / static_cast<float>(V));
      z2 = truncated(static_cast<float>(H) * g2(k) / static_cast<float>(V));
      rest = std::max<int64_t>(int64_t{y.at(k)} - truncated(g1(k)), 0);
    } else {
      int64_t m1 = 0, m2 = 0;
      for (int64_t j = 0; j < q; ++j) {
        const int64_t k = lo + q * x + j;
        m1 = std::max(m1, truncated(g1(k)));
        m2 = std::max(m2, truncated(g2(k)));
      }
      z1 = H * m1 / V;
      z2 = H * m2 / V;
      rest = std::max<int64_t>(int64_t{y.at(lo + q * x + q - 1)} - m1, 0);
    }
    const auto i = static_cast<size_t>(x);
    overlay.kAlpha1[i] = row(H - z1);
    overlay.kAlpha2[i] = row(H - z2);
    overlay.sum[i] = row(H - (z1 + z2));
    overlay.residual[i] = row(H - H * rest / V);
  }
  return overlay;
}

}  // namespace tolvane
