#include "quant/secondary_depth_integral.h"

#include <cmath>

namespace tolvane {

namespace {

bool thick(double arealDensity) { return !(arealDensity > 0.0) || !std::isfinite(arealDensity); }

// Int_0^T exp(-k t) dt, stable for small k T.
double decayIntegral(double k, double T) {
  const double x = k * T;
  if (std::fabs(x) < 1e-8) return T * (1.0 - 0.5 * x);
  return -std::expm1(-x) / k;
}

// (f(p) - f(q)) / (q - p) for f(k) = Int_0^T exp(-k t) dt: a divided
// difference that becomes -f'(p) when q comes close to p.
double decayDifference(double p, double q, double T) {
  if (std::fabs(q - p) > 1e-7 * (std::fabs(p) + std::fabs(q))) return (decayIntegral(p, T) - decayIntegral(q, T)) / (q - p);
  // -f'(p) = (1 - exp(-pT)) / p^2 - T exp(-pT) / p
  const double e = std::exp(-p * T);
  if (p * T < 1e-6) return 0.5 * T * T;
  return (-std::expm1(-p * T)) / (p * p) - T * e / p;
}

// Int_0^T Int_0^T exp(-a t - b t' - c |t - t'|) dt dt'
double exponentialPair(double a, double b, double c, double T) {
  // t' < t: Int_0^T exp(-a t) (exp(-b t) - exp(-c t)) / (c - b) dt
  const double below = decayDifference(a + b, a + c, T);
  // t' > t: Int_0^T exp(-a t) (exp(-b t) - exp(c t - (b + c) T)) / (b + c) dt
  // and exp(-(b+c)T) Int_0^T exp((c - a) t) dt = (exp(-(a+b)T) - exp(-(b+c)T)) / (c - a)
  double tail;
  if (std::fabs(c - a) > 1e-7 * (std::fabs(a) + std::fabs(c)))
    tail = (std::exp(-(a + b) * T) - std::exp(-(b + c) * T)) / (c - a);
  else
    tail = T * std::exp(-(a + b) * T);
  const double above = (decayIntegral(a + b, T) - tail) / (b + c);
  return below + above;
}

// 20-point Gauss-Legendre nodes and weights on [-1, 1] (half of them).
constexpr double kNodes[] = {0.0765265211334973, 0.2277858511416451, 0.3737060887154195, 0.5108670019508271,
                             0.6360536807265150, 0.7463319064601508, 0.8391169718222188, 0.9122344282513259,
                             0.9639719272779138, 0.9931285991850949};
constexpr double kWeights[] = {0.1527533871307258, 0.1491729864726037, 0.1420961093183820, 0.1316886384491766,
                               0.1181945319615184, 0.1019301198172404, 0.0832767415767048, 0.0626720483341091,
                               0.0406014298003869, 0.0176140071391521};

// Int_lo^hi g(u) du by 20-point Gauss-Legendre.
template <typename F>
double gauss(F g, double lo, double hi) {
  const double half = 0.5 * (hi - lo), mid = 0.5 * (hi + lo);
  double sum = 0.0;
  for (int i = 0; i < 10; ++i) sum += kWeights[i] * (g(mid - half * kNodes[i]) + g(mid + half * kNodes[i]));
  return sum * half;
}

}  // namespace

double primaryDepthIntegral(double chi, double arealDensity) {
  if (thick(arealDensity)) return 1.0 / chi;
  return decayIntegral(chi, arealDensity);
}

double secondaryDepthIntegral(double a, double b, double m, double arealDensity) {
  if (thick(arealDensity)) return (std::log1p(a / m) / a + std::log1p(b / m) / b) / (a + b);
  const double T = arealDensity;
  // The integrand in u, (1/u) * pair(a, b, m/u), is smooth on (0, 1] but
  // changes on the scale u ~ m / max(a, b, 1/T); the interval is cut
  // geometrically towards 0 so each piece sees a smooth part.
  auto integrand = [&](double u) { return exponentialPair(a, b, m / u, T) / u; };
  double sum = 0.0;
  double hi = 1.0;
  for (int piece = 0; piece < 12; ++piece) {
    const double lo = hi * 0.25;
    sum += gauss(integrand, lo, hi);
    hi = lo;
  }
  // Towards u = 0 the integrand tends to a constant (2/m times the primary
  // depth integral), so the part below 4^-12 is of relative order 1e-7.
  return sum;
}

}  // namespace tolvane
