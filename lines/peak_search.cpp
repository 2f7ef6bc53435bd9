#include "lines/peak_search.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace tolvane {

namespace {

constexpr double kFwhmPerSigma = 2.3548200450309493;
const double kSqrtTwoPi = std::sqrt(2.0 * 3.14159265358979323846);

// The filter: the negative second derivative of a Gaussian of the peak's
// width, made zero-sum so a straight background gives no response.
struct Kernel {
  int half = 0;
  std::vector<double> taps;    // index j + half
  std::vector<double> square;  // taps squared, for the variance
};

Kernel makeKernel(double sigma) {
  Kernel k;
  k.half = std::max(2, static_cast<int>(std::ceil(3.0 * sigma)));
  const int n = 2 * k.half + 1;
  k.taps.resize(static_cast<size_t>(n));
  double sum = 0.0;
  for (int j = -k.half; j <= k.half; ++j) {
    const double x = j / sigma;
    const double v = (1.0 - x * x) * std::exp(-0.5 * x * x);
    k.taps[static_cast<size_t>(j + k.half)] = v;
    sum += v;
  }
  for (double& v : k.taps) v -= sum / n;
  k.square.resize(k.taps.size());
  for (size_t i = 0; i < k.taps.size(); ++i) k.square[i] = k.taps[i] * k.taps[i];
  return k;
}

// Peak width (sigma, channels) at each channel from the detector model.
std::vector<double> channelSigmas(int32_t size, const EnergyScale& scale, const DetectorResolution& resolution) {
  std::vector<double> sigma(static_cast<size_t>(size));
  for (int32_t c = 0; c < size; ++c) {
    const double fwhm = resolution.fwhmKev(std::max(scale.energy(c), 0.0)) / std::fabs(scale.slope(c));
    sigma[static_cast<size_t>(c)] = std::clamp(fwhm / kFwhmPerSigma, 0.6, 100.0);
  }
  return sigma;
}

struct Candidate {
  double channel;
  double significance;
};

// The filter's response over its standard deviation at each channel, on
// `signal` (the counts, or what is left of them after fitted peaks are taken
// away), with the Poisson variance of the counts themselves.
std::vector<Candidate> filterMaxima(const double* signal, const int32_t* y, int32_t size,
                                    const std::vector<double>& sigma, double threshold) {
  // Kernels are shared between channels whose widths round to the same
  // quarter channel.
  std::map<int, Kernel> kernels;
  std::vector<double> z(static_cast<size_t>(size), 0.0);
  for (int32_t c = 0; c < size; ++c) {
    const int key = static_cast<int>(std::lround(sigma[static_cast<size_t>(c)] * 4.0));
    auto it = kernels.find(key);
    if (it == kernels.end()) it = kernels.emplace(key, makeKernel(key / 4.0)).first;
    const Kernel& k = it->second;
    if (c - k.half < 0 || c + k.half >= size) continue;
    const double* window = signal + (c - k.half);
    const int32_t* counts = y + (c - k.half);
    double response = 0.0, variance = 0.0;
    for (size_t j = 0; j < k.taps.size(); ++j) {
      response += k.taps[j] * window[j];
      variance += k.square[j] * std::max<double>(counts[j], 1.0);
    }
    z[static_cast<size_t>(c)] = response / std::sqrt(variance);
  }
  std::vector<Candidate> out;
  for (int32_t c = 1; c + 1 < size; ++c) {
    const double v = z[static_cast<size_t>(c)];
    if (v < threshold || v <= z[static_cast<size_t>(c - 1)] || v < z[static_cast<size_t>(c + 1)]) continue;
    // Vertex of the parabola through the three responses.
    const double l = z[static_cast<size_t>(c - 1)], r = z[static_cast<size_t>(c + 1)];
    const double den = l - 2.0 * v + r;
    const double shift = den < 0.0 ? std::clamp(0.5 * (l - r) / den, -0.5, 0.5) : 0.0;
    const double position = c + shift;
    // Two maxima closer than half a width are one peak: keep the stronger.
    if (!out.empty() && position - out.back().channel < 0.5 * kFwhmPerSigma * sigma[static_cast<size_t>(c)]) {
      if (v > out.back().significance) out.back() = {position, v};
      continue;
    }
    out.push_back({position, v});
  }
  return out;
}

// Solves a x = b for a small symmetric positive matrix; false when singular.
bool solve(std::vector<double> a, std::vector<double>& b, int n) {
  for (int i = 0; i < n; ++i) {
    int pivot = i;
    for (int r = i + 1; r < n; ++r)
      if (std::fabs(a[r * n + i]) > std::fabs(a[pivot * n + i])) pivot = r;
    if (std::fabs(a[pivot * n + i]) < 1e-300) return false;
    if (pivot != i) {
      for (int c = 0; c < n; ++c) std::swap(a[i * n + c], a[pivot * n + c]);
      std::swap(b[i], b[pivot]);
    }
    for (int r = i + 1; r < n; ++r) {
      const double f = a[r * n + i] / a[i * n + i];
      if (f == 0.0) continue;
      for (int c = i; c < n; ++c) a[r * n + c] -= f * a[i * n + c];
      b[r] -= f * b[i];
    }
  }
  for (int i = n - 1; i >= 0; --i) {
    double s = b[i];
    for (int c = i + 1; c < n; ++c) s -= a[i * n + c] * b[c];
    b[i] = s / a[i * n + i];
  }
  return true;
}

bool invert(const std::vector<double>& a, std::vector<double>& inverse, int n) {
  inverse.assign(static_cast<size_t>(n * n), 0.0);
  for (int col = 0; col < n; ++col) {
    std::vector<double> e(static_cast<size_t>(n), 0.0);
    e[col] = 1.0;
    if (!solve(a, e, n)) return false;
    for (int r = 0; r < n; ++r) inverse[r * n + col] = e[r];
  }
  return true;
}

// Gaussians with a shared width scale on a straight background over
// channels lo .. hi, by damped Gauss-Newton with Poisson weights.
// Parameters: a, b, s, then (height, centre) per peak.
struct ClusterFit {
  int lo = 0, hi = 0;
  double x0 = 0.0;
  std::vector<double> modelSigma;  // per peak, from the detector model
  std::vector<double> p;
  std::vector<double> covariance;
  bool ok = false;

  int peaks() const { return static_cast<int>(modelSigma.size()); }
  int params() const { return 3 + 2 * peaks(); }

  double value(double x, const std::vector<double>& q, std::vector<double>* grad) const {
    double f = q[0] + q[1] * (x - x0);
    if (grad) {
      (*grad)[0] = 1.0;
      (*grad)[1] = x - x0;
      (*grad)[2] = 0.0;
    }
    for (int k = 0; k < peaks(); ++k) {
      const double sk = q[2] * modelSigma[k];
      const double h = q[3 + 2 * k], mu = q[4 + 2 * k];
      const double d = (x - mu) / sk;
      const double g = std::exp(-0.5 * d * d);
      f += h * g;
      if (grad) {
        (*grad)[3 + 2 * k] = g;
        (*grad)[4 + 2 * k] = h * g * d / sk;
        (*grad)[2] += h * g * d * d / q[2];
      }
    }
    return f;
  }

  double chiSquare(const int32_t* y, const std::vector<double>& q) const {
    double chi = 0.0;
    for (int c = lo; c <= hi; ++c) {
      const double r = y[c] - value(c, q, nullptr);
      chi += r * r / std::max<double>(y[c], 1.0);
    }
    return chi;
  }

  void run(const int32_t* y) {
    const int n = params();
    std::vector<double> grad(static_cast<size_t>(n));
    double chi = chiSquare(y, p);
    double lambda = 1e-3;
    for (int iteration = 0; iteration < 40; ++iteration) {
      std::vector<double> a(static_cast<size_t>(n * n), 0.0), b(static_cast<size_t>(n), 0.0);
      for (int c = lo; c <= hi; ++c) {
        const double f = value(c, p, &grad);
        const double w = 1.0 / std::max<double>(y[c], 1.0);
        const double r = y[c] - f;
        for (int i = 0; i < n; ++i) {
          b[i] += w * r * grad[i];
          for (int j = 0; j <= i; ++j) a[i * n + j] += w * grad[i] * grad[j];
        }
      }
      for (int i = 0; i < n; ++i)
        for (int j = 0; j < i; ++j) a[j * n + i] = a[i * n + j];
      bool improved = false;
      for (int attempt = 0; attempt < 8 && !improved; ++attempt) {
        std::vector<double> damped = a, step = b;
        for (int i = 0; i < n; ++i) damped[i * n + i] *= 1.0 + lambda;
        if (!solve(damped, step, n)) {
          lambda *= 10.0;
          continue;
        }
        std::vector<double> trial = p;
        for (int i = 0; i < n; ++i) trial[i] += step[i];
        trial[2] = std::clamp(trial[2], 0.5, 2.0);
        for (int k = 0; k < peaks(); ++k) {
          trial[3 + 2 * k] = std::max(trial[3 + 2 * k], 0.0);
          trial[4 + 2 * k] = std::clamp(trial[4 + 2 * k], static_cast<double>(lo), static_cast<double>(hi));
        }
        const double trialChi = chiSquare(y, trial);
        if (trialChi <= chi) {
          const bool converged = chi - trialChi < 1e-6 * std::max(chi, 1.0);
          p = trial;
          chi = trialChi;
          lambda = std::max(lambda * 0.1, 1e-7);
          improved = true;
          if (converged) iteration = 1000;
        } else {
          lambda *= 10.0;
        }
      }
      if (!improved) break;
    }
    // Covariance at the optimum.
    std::vector<double> a(static_cast<size_t>(n * n), 0.0);
    for (int c = lo; c <= hi; ++c) {
      value(c, p, &grad);
      const double w = 1.0 / std::max<double>(y[c], 1.0);
      for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) a[i * n + j] += w * grad[i] * grad[j];
    }
    ok = invert(a, covariance, n);
  }

  double area(int k) const { return p[3 + 2 * k] * p[2] * modelSigma[k] * kSqrtTwoPi; }
  double areaError(int k) const {
    const int n = params();
    const int ih = 3 + 2 * k;
    const double gh = p[2] * modelSigma[k] * kSqrtTwoPi, gs = p[ih] * modelSigma[k] * kSqrtTwoPi;
    const double v =
        gh * gh * covariance[ih * n + ih] + gs * gs * covariance[2 * n + 2] + 2.0 * gh * gs * covariance[ih * n + 2];
    return std::sqrt(std::max(v, 0.0));
  }
};

// Fits one group of neighbouring candidates; drops peaks whose net area is
// not significant and fits again without them.
void fitCluster(const int32_t* y, int32_t size, const std::vector<double>& sigma, std::vector<Candidate> group,
                const EnergyScale& scale, const PeakSearchOptions& options, std::vector<FoundPeak>& out) {
  for (int round = 0; round < 4 && !group.empty(); ++round) {
    ClusterFit fit;
    const auto sigmaAt = [&](double c) {
      return sigma[static_cast<size_t>(std::clamp<long>(std::lround(c), 0, size - 1))];
    };
    fit.lo = std::max(0, static_cast<int>(std::floor(group.front().channel - 3.0 * sigmaAt(group.front().channel))));
    fit.hi =
        std::min(size - 1, static_cast<int>(std::ceil(group.back().channel + 3.0 * sigmaAt(group.back().channel))));
    fit.x0 = 0.5 * (fit.lo + fit.hi);
    // Starting background: the straight line through the ends.
    const double yl = (y[fit.lo] + y[std::min(fit.lo + 1, fit.hi)]) * 0.5;
    const double yr = (y[fit.hi] + y[std::max(fit.hi - 1, fit.lo)]) * 0.5;
    const double slope = fit.hi > fit.lo ? (yr - yl) / (fit.hi - fit.lo) : 0.0;
    fit.p = {0.5 * (yl + yr), slope, 1.0};
    for (const Candidate& c : group) {
      fit.modelSigma.push_back(sigmaAt(c.channel));
      const double base = fit.p[0] + slope * (c.channel - fit.x0);
      const double top = y[std::clamp<long>(std::lround(c.channel), 0, size - 1)];
      fit.p.push_back(std::max(top - base, 1.0));
      fit.p.push_back(c.channel);
    }
    fit.run(y);
    std::vector<Candidate> kept;
    std::vector<FoundPeak> found;
    for (int k = 0; k < fit.peaks(); ++k) {
      const double area = fit.area(k);
      const double error = fit.ok ? fit.areaError(k) : std::sqrt(std::max(area, 1.0));
      if (!(area > 0.0) || !(error > 0.0) || area < options.minNetSigmas * error) continue;
      kept.push_back({fit.p[4 + 2 * k], group[static_cast<size_t>(k)].significance});
      FoundPeak peak;
      peak.channel = fit.p[4 + 2 * k];
      peak.energyKev = scale.energy(peak.channel);
      peak.net = area;
      peak.netError = error;
      peak.fwhmChannels = kFwhmPerSigma * fit.p[2] * fit.modelSigma[static_cast<size_t>(k)];
      peak.fwhmKev = peak.fwhmChannels * std::fabs(scale.slope(peak.channel));
      peak.significance = group[static_cast<size_t>(k)].significance;
      found.push_back(peak);
    }
    if (kept.size() == group.size()) {
      out.insert(out.end(), found.begin(), found.end());
      return;
    }
    group = std::move(kept);
  }
}

// Peaks whose fit regions overlap are fitted together.
std::vector<FoundPeak> fitAll(const int32_t* counts, int32_t size, const std::vector<double>& sigma,
                              const std::vector<Candidate>& maxima, const EnergyScale& scale,
                              const PeakSearchOptions& options) {
  std::vector<FoundPeak> peaks;
  std::vector<Candidate> group;
  for (const Candidate& c : maxima) {
    if (!group.empty()) {
      const double reach = 3.0 * (sigma[static_cast<size_t>(std::lround(group.back().channel))] +
                                  sigma[static_cast<size_t>(std::lround(c.channel))]);
      if (c.channel - group.back().channel > reach) {
        fitCluster(counts, size, sigma, group, scale, options, peaks);
        group.clear();
      }
    }
    group.push_back(c);
  }
  if (!group.empty()) fitCluster(counts, size, sigma, group, scale, options, peaks);
  std::sort(peaks.begin(), peaks.end(), [](const FoundPeak& a, const FoundPeak& b) { return a.channel < b.channel; });
  return peaks;
}

// Mean of `level` over channels lo .. hi (clamped to the spectrum), with
// the number of channels taken.
std::pair<double, int> meanOver(const std::vector<double>& level, double lo, double hi) {
  const auto first = std::max<long>(0, std::lround(lo));
  const auto last = std::min<long>(static_cast<long>(level.size()) - 1, std::lround(hi));
  double sum = 0.0;
  int n = 0;
  for (long c = first; c <= last; ++c, ++n) sum += level[static_cast<size_t>(c)];
  return {n > 0 ? sum / n : 0.0, n};
}

// The counts less the fitted Gaussians of `peaks` (all but `skip`).
std::vector<double> withoutPeaks(const int32_t* counts, int32_t size, const std::vector<FoundPeak>& peaks,
                                 const std::vector<bool>& take, size_t skip) {
  std::vector<double> level(counts, counts + size);
  for (size_t i = 0; i < peaks.size(); ++i) {
    if (i == skip || !take[i]) continue;
    const FoundPeak& p = peaks[i];
    const double s = p.fwhmChannels / kFwhmPerSigma;
    const double height = p.net / (s * kSqrtTwoPi);
    const auto lo = std::max<long>(0, std::lround(p.channel - 6 * s));
    const auto hi = std::min<long>(size - 1, std::lround(p.channel + 6 * s));
    for (long c = lo; c <= hi; ++c) {
      const double d = (c - p.channel) / s;
      level[static_cast<size_t>(c)] -= height * std::exp(-0.5 * d * d);
    }
  }
  return level;
}

// Whether a found peak rises above the counts on both of its sides, as a
// peak does. The corner where the continuum starts (no counts below the
// detector's threshold, a level above it) curves like a peak's flank and
// passes the filter, but its top is no higher than the side above it.
bool standsAboveBothSides(const std::vector<double>& level, const FoundPeak& p) {
  const double s = std::max(p.fwhmChannels / kFwhmPerSigma, 1.0);
  const auto [top, nTop] = meanOver(level, p.channel - 0.5 * s, p.channel + 0.5 * s);
  const auto [left, nLeft] = meanOver(level, p.channel - 4.0 * s, p.channel - 2.5 * s);
  const auto [right, nRight] = meanOver(level, p.channel + 2.5 * s, p.channel + 4.0 * s);
  if (nTop == 0 || nLeft == 0 || nRight == 0) return true;  // at the spectrum's end: no test
  const double higherSide = std::max(left, right);
  const double noise = std::sqrt(std::max(top, 1.0) / nTop + std::max(higherSide, 1.0) / std::min(nLeft, nRight));
  // Above the higher side by a real amount, and by a fair part of its
  // height above the straight line between the sides (a step stands
  // only on its lower side).
  const double aboveLine = top - 0.5 * (left + right);
  return top - higherSide > 1.5 * noise && top - higherSide > 0.5 * aboveLine;
}

// Drops the found peaks that are steps of the continuum. A peak on the
// flank of a larger one is judged with the peaks that stand on their own
// taken away.
std::vector<FoundPeak> withoutSteps(const int32_t* counts, int32_t size, const std::vector<FoundPeak>& peaks) {
  const std::vector<double> raw(counts, counts + size);
  std::vector<bool> standing(peaks.size());
  for (size_t i = 0; i < peaks.size(); ++i) standing[i] = standsAboveBothSides(raw, peaks[i]);
  std::vector<FoundPeak> kept;
  for (size_t i = 0; i < peaks.size(); ++i)
    if (standing[i] || standsAboveBothSides(withoutPeaks(counts, size, peaks, standing, i), peaks[i]))
      kept.push_back(peaks[i]);
  return kept;
}

}  // namespace

bool EnergyScale::valid() const {
  return std::isfinite(gain) && std::isfinite(offset) && std::isfinite(quadratic) && gain > 0.0;
}

double EnergyScale::channel(double energyKev) const {
  const double above = energyKev - offset;
  if (quadratic == 0.0) return above / gain;
  // q c^2 + g c - above = 0, in the form that keeps its precision when q
  // is small; past the vertex there is no root and the line answers.
  const double discriminant = gain * gain + 4.0 * quadratic * above;
  if (!(discriminant >= 0.0)) return above / gain;
  return 2.0 * above / (gain + std::sqrt(discriminant));
}

PeakSearchResult searchPeaks(const int32_t* counts, int32_t size, const EnergyScale& scale,
                             const DetectorResolution& resolution, const PeakSearchOptions& options) {
  PeakSearchResult result;
  if (!scale.valid()) {
    result.error = PeakSearchError::NoCalibration;
    return result;
  }
  bool any = false;
  for (int32_t c = 0; c < size && !any; ++c) any = counts[c] > 0;
  if (size < 8 || !any) {
    result.error = PeakSearchError::EmptySpectrum;
    return result;
  }
  const std::vector<double> sigma = channelSigmas(size, scale, resolution);
  std::vector<double> signal(counts, counts + size);
  const std::vector<Candidate> maxima = filterMaxima(signal.data(), counts, size, sigma, options.threshold);
  result.peaks = fitAll(counts, size, sigma, maxima, scale, options);
  // A weak peak beside a strong one sits in the strong one's negative
  // filter lobe: search again with the fitted peaks taken away, and fit
  // everything found together.
  for (const FoundPeak& p : result.peaks) {
    const double s = p.fwhmChannels / kFwhmPerSigma;
    const double height = p.net / (s * kSqrtTwoPi);
    const int32_t lo = std::max(0, static_cast<int32_t>(p.channel - 6 * s));
    const int32_t hi = std::min(size - 1, static_cast<int32_t>(p.channel + 6 * s));
    for (int32_t c = lo; c <= hi; ++c) {
      const double d = (c - p.channel) / s;
      signal[static_cast<size_t>(c)] -= height * std::exp(-0.5 * d * d);
    }
  }
  std::vector<Candidate> fresh;
  for (const Candidate& c : filterMaxima(signal.data(), counts, size, sigma, options.threshold)) {
    const double reach = 0.5 * kFwhmPerSigma * sigma[static_cast<size_t>(std::lround(c.channel))];
    const bool known = std::any_of(result.peaks.begin(), result.peaks.end(),
                                   [&](const FoundPeak& p) { return std::fabs(p.channel - c.channel) < reach; });
    if (!known) fresh.push_back(c);
  }
  if (!fresh.empty()) {
    // The first pass's peaks (not those its fits dropped) and the new ones.
    std::vector<Candidate> start;
    for (const FoundPeak& p : result.peaks) start.push_back({p.channel, p.significance});
    start.insert(start.end(), fresh.begin(), fresh.end());
    std::sort(start.begin(), start.end(), [](const Candidate& a, const Candidate& b) { return a.channel < b.channel; });
    result.peaks = fitAll(counts, size, sigma, start, scale, options);
  }
  std::sort(result.peaks.begin(), result.peaks.end(),
            [](const FoundPeak& a, const FoundPeak& b) { return a.channel < b.channel; });
  result.peaks = withoutSteps(counts, size, result.peaks);
  return result;
}

}  // namespace tolvane
