#include "analysis/resolution_fit.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unsupported/Eigen/NonLinearOptimization>
#include <unsupported/Eigen/NumericalDiff>
#include <vector>

#include "analysis/calibration_unit.h"
#include "analysis/spectrum_view.h"
#include "app/session.h"

namespace tolvane {

namespace {

using Eigen::VectorXd;

constexpr double kFwhmPerSigma = 2.3548200450309493;

// Parameters: area of K-alpha1 (counts), its position, the common sigma
// (channels), background level at the window centre and its slope.
enum Parameter { kArea, kPosition, kSigma, kLevel, kSlope, kParameters };

struct DoubletModel {
  std::vector<double> channel, counts, weight;  // weight = 1 / variance
  double centre = 0.0;                          // the background's reference channel
  double separation = 0.0;                      // K-alpha1 - K-alpha2 in channels
  bool fixedConversion = true;
  double evPerChannel = 0.0;

  // K-alpha2 sits 11 eV below K-alpha1; without a calibration the
  // conversion follows the K-alpha1 position.
  double separationAt(double position) const {
    const double ev = fixedConversion ? evPerChannel : kResolutionKAlpha1Ev / position;
    return (kResolutionKAlpha1Ev - kResolutionKAlpha2Ev) / ev;
  }

  static double binned(double k, double mu, double sigma) {
    const double s = 1.0 / (std::sqrt(2.0) * sigma);
    return 0.5 * (std::erf((k + 0.5 - mu) * s) - std::erf((k - 0.5 - mu) * s));
  }

  double value(const VectorXd& p, double k) const {
    const double sigma = std::fabs(p[kSigma]);
    const double mu2 = p[kPosition] - separationAt(p[kPosition]);
    return p[kLevel] + p[kSlope] * (k - centre) +
           p[kArea] * (binned(k, p[kPosition], sigma) + kResolutionKAlpha2Ratio * binned(k, mu2, sigma));
  }
};

// The functor Eigen's Levenberg-Marquardt minimises: weighted residuals.
struct Residuals {
  using Scalar = double;
  using InputType = VectorXd;
  using ValueType = VectorXd;
  using JacobianType = Eigen::MatrixXd;
  enum { InputsAtCompileTime = Eigen::Dynamic, ValuesAtCompileTime = Eigen::Dynamic };

  const DoubletModel* model;
  int inputs() const { return kParameters; }
  int values() const { return static_cast<int>(model->channel.size()); }
  int operator()(const VectorXd& p, VectorXd& out) const {
    for (size_t i = 0; i < model->channel.size(); ++i)
      out[static_cast<Eigen::Index>(i)] =
          (model->counts[i] - model->value(p, model->channel[i])) * std::sqrt(model->weight[i]);
    return 0;
  }
};

struct Solution {
  bool ok = false;
  VectorXd p;
  double chi2 = 0.0;
  Eigen::MatrixXd covariance;
};

Solution solve(const DoubletModel& model, VectorXd start) {
  Eigen::NumericalDiff<Residuals> functor(Residuals{&model});
  Eigen::LevenbergMarquardt<Eigen::NumericalDiff<Residuals>> lm(functor);
  lm.parameters.maxfev = 2000;
  lm.parameters.xtol = 1e-10;
  lm.parameters.ftol = 1e-10;
  const auto status = lm.minimize(start);
  Solution s;
  s.p = start;
  if (status == Eigen::LevenbergMarquardtSpace::ImproperInputParameters) return s;
  VectorXd r(functor.values());
  functor(s.p, r);
  s.chi2 = r.squaredNorm();
  Eigen::MatrixXd jacobian(functor.values(), kParameters);
  functor.df(s.p, jacobian);
  const Eigen::MatrixXd information = jacobian.transpose() * jacobian;
  Eigen::FullPivLU<Eigen::MatrixXd> lu(information);
  if (!lu.isInvertible()) return s;
  s.covariance = lu.inverse();
  s.ok = std::isfinite(s.chi2) && s.p.allFinite() && s.covariance.allFinite();
  return s;
}

}  // namespace

ResolutionFit fitResolution(const ResolutionFitInput& in) {
  ResolutionFit out;
  if (in.calibrationUnusable) {
    out.outcome = ResolutionFitOutcome::BadCalibration;
    return out;
  }
  if (!in.counts || in.channels < 8) return out;
  if (in.cursorEnergyEv > 0 && std::fabs(in.cursorEnergyEv - kResolutionKAlpha1Ev) >= 0.1 * kResolutionKAlpha1Ev) {
    out.outcome = ResolutionFitOutcome::NotMnKAlpha;
    return out;
  }
  const auto at = [&](int64_t c) { return c >= 0 && c < in.channels ? in.counts[c] : 0; };

  // The peak: the largest count within 5 channels of the cursor.
  int32_t peak = -1, height = 0;
  for (int64_t c = int64_t{in.cursor} - 5; c <= int64_t{in.cursor} + 5; ++c)
    if (at(c) > height) {
      height = at(c);
      peak = static_cast<int32_t>(c);
    }
  if (peak < 0) return out;

  // Starting values: the half-maximum width and the local background.
  int32_t left = peak, right = peak;
  while (left > 0 && at(left) > height / 2) --left;
  while (right < in.channels - 1 && at(right) > height / 2) ++right;
  const double fwhm0 = std::max(2.0, static_cast<double>(right - left));
  const int32_t half = static_cast<int32_t>(std::ceil(1.5 * fwhm0)) + 2;
  out.low = std::max(0, peak - half);
  out.high = std::min(in.channels, peak + half + 1);
  if (out.high - out.low < kParameters + 3) {
    out.outcome = ResolutionFitOutcome::TooFewChannels;
    return out;
  }

  DoubletModel model;
  model.centre = peak;
  model.fixedConversion = in.evPerChannel > 0;
  model.evPerChannel = in.evPerChannel;
  for (int32_t c = out.low; c < out.high; ++c) {
    model.channel.push_back(c);
    model.counts.push_back(at(c));
    model.weight.push_back(1.0 / std::max(at(c), 1));
  }
  const double edge = 0.5 * (at(out.low) + at(out.high - 1));
  const double sigma0 = fwhm0 / kFwhmPerSigma;
  VectorXd p(kParameters);
  p[kArea] = std::max(1.0, (height - edge) * sigma0 * std::sqrt(2.0 * M_PI) / (1.0 + kResolutionKAlpha2Ratio));
  p[kPosition] = peak + 0.3;  // K-alpha2 pulls the maximum a little low
  p[kSigma] = sigma0;
  p[kLevel] = edge;
  p[kSlope] = (at(out.high - 1) - at(out.low)) / static_cast<double>(out.high - 1 - out.low);

  Solution first = solve(model, p);
  if (!first.ok) {
    out.outcome = ResolutionFitOutcome::NotConverged;
    return out;
  }
  // Second pass weighted by the first fit's expected counts.
  for (size_t i = 0; i < model.channel.size(); ++i)
    model.weight[i] = 1.0 / std::max(model.value(first.p, model.channel[i]), 1.0);
  Solution s = solve(model, first.p);
  if (!s.ok || !(std::fabs(s.p[kSigma]) > 0) || s.p[kPosition] < out.low || s.p[kPosition] >= out.high) {
    out.outcome = ResolutionFitOutcome::NotConverged;
    return out;
  }

  // A flat stretch "fits" too: demand a peak well above its error.
  const double areaErr = std::sqrt(std::max(s.covariance(kArea, kArea), 0.0));
  if (!(s.p[kArea] > 3.0 * areaErr)) {
    out.outcome = ResolutionFitOutcome::NoPeak;
    return out;
  }
  out.dof = static_cast<double>(model.channel.size() - kParameters);
  out.chi2Reduced = s.chi2 / out.dof;
  out.centroidCh = s.p[kPosition];
  out.evPerChannel = model.fixedConversion ? in.evPerChannel : kResolutionKAlpha1Ev / out.centroidCh;
  const double sigma = std::fabs(s.p[kSigma]);
  const double sigmaErr =
      std::sqrt(std::max(s.covariance(kSigma, kSigma), 0.0)) * std::sqrt(std::max(1.0, out.chi2Reduced));
  out.fwhmCh = kFwhmPerSigma * sigma;
  out.fwhmEv = out.fwhmCh * out.evPerChannel;
  out.fwhmErrEv = kFwhmPerSigma * sigmaErr * out.evPerChannel;

  // The width may range from one channel (narrower is not resolved by the
  // channels) to a quarter of the fitted channels (wider is the background
  // or several lines); a fit that leaves that range has found no doublet.
  out.lowestFwhmCh = 1.0;
  out.highestFwhmCh = kFwhmPerSigma * (out.high - out.low) / 4.0;
  if (out.fwhmCh <= out.lowestFwhmCh || out.fwhmCh >= out.highestFwhmCh)
    out.outcome = ResolutionFitOutcome::WidthAtBound;
  else if (std::fabs(out.centroidCh - in.cursor) > out.fwhmCh)
    out.outcome = ResolutionFitOutcome::OffCursor;
  else if (!(out.chi2Reduced <= kResolutionChi2Refused))
    out.outcome = ResolutionFitOutcome::PoorFit;
  else
    out.outcome = ResolutionFitOutcome::Fitted;
  out.chi2High = out.chi2Reduced > kResolutionChi2Flagged;
  return out;
}

ResolutionFitInput resolutionInput(const Session& s, int32_t cursor) {
  const SpectrumView view = workingSpectrum(s);
  ResolutionFitInput in{view.counts, view.size, cursor, 0.0};
  const EnergyCalibration& c = s.Calibration;
  if (c.Valid != 1) return in;
  if (!std::isfinite(c.Gain) || !std::isfinite(c.Offset) || !(c.Gain > 0.0f)) {
    in.calibrationUnusable = true;
    return in;
  }
  const KevCalibration kev = calibrationInKev(c.Gain, c.Offset, view.size);
  // Used only when it puts the cursor near Mn K-alpha.
  const double atCursor = kev.energyKev(cursor) * 1000.0;
  if (atCursor > 0) in.cursorEnergyEv = atCursor;
  if (std::fabs(atCursor - kResolutionKAlpha1Ev) < 0.1 * kResolutionKAlpha1Ev) in.evPerChannel = kev.gainKev * 1000.0;
  return in;
}

std::string resolutionLine(const Session& s) {
  const ResolutionFit fit = fitResolution(resolutionInput(s, s.Display.Cursor));
  if (fit.outcome != ResolutionFitOutcome::Fitted) return {};
  char text[96];
  std::snprintf(text, sizeof text, "Resolution %.2f ± %.2f eV at 5.9 keV (χ²ᵣ %.2f%s)", fit.fwhmEv, fit.fwhmErrEv,
                fit.chi2Reduced, fit.chi2High ? ", high" : "");
  return text;
}

}  // namespace tolvane
