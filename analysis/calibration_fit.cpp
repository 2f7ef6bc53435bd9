#include "analysis/calibration_fit.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>

#include "records/shared_records.h"

namespace tolvane {

int CalibrationFit::flaggedCount() const {
  return static_cast<int>(std::count_if(points.begin(), points.end(), [](const FittedPoint& p) { return p.flagged; }));
}

CalibrationFit fitCalibration(const std::vector<CalibrationPoint>& given, bool quadratic, double evPerUnit) {
  CalibrationFit fit;
  fit.quadraticTerm = quadratic;
  const int terms = quadratic ? 3 : 2;
  const int n = static_cast<int>(given.size());
  for (const CalibrationPoint& p : given) {
    if (!std::isfinite(p.channel) || !std::isfinite(p.energy)) {
      fit.outcome = CalibrationFit::Outcome::NotFinite;
      return fit;
    }
  }
  if (n < terms) {
    fit.outcome = CalibrationFit::Outcome::TooFewPoints;
    return fit;
  }
  std::vector<double> channels;
  for (const CalibrationPoint& p : given) channels.push_back(p.channel);
  std::sort(channels.begin(), channels.end());
  if (std::unique(channels.begin(), channels.end()) - channels.begin() < terms) {
    fit.outcome = CalibrationFit::Outcome::TooFewChannels;
    return fit;
  }

  // Channels centred and scaled to about -1 .. 1, so that c^2 (up to 6.7e7
  // at 8192 channels) does not swamp the normal equations.
  const double middle = 0.5 * (channels.front() + channels.back());
  const double half = std::max(0.5 * (channels.back() - channels.front()), 1e-300);
  Eigen::MatrixXd design(n, terms);
  Eigen::VectorXd energies(n);
  for (int i = 0; i < n; ++i) {
    const double x = (given[static_cast<size_t>(i)].channel - middle) / half;
    design(i, 0) = 1.0;
    design(i, 1) = x;
    if (quadratic) design(i, 2) = x * x;
    energies(i) = given[static_cast<size_t>(i)].energy;
  }
  const Eigen::MatrixXd normal = design.transpose() * design;
  const Eigen::FullPivLU<Eigen::MatrixXd> lu(normal);
  if (!lu.isInvertible()) {
    fit.outcome = CalibrationFit::Outcome::TooFewChannels;
    return fit;
  }
  const Eigen::MatrixXd inverse = lu.inverse();
  const Eigen::VectorXd a = inverse * (design.transpose() * energies);

  // Back from the scaled channel x = (c - middle) / half to c.
  const double a2 = quadratic ? a(2) : 0.0;
  fit.quadratic = a2 / (half * half);
  fit.gain = a(1) / half - 2.0 * a2 * middle / (half * half);
  fit.offset = a(0) - a(1) * middle / half + a2 * middle * middle / (half * half);
  fit.outcome = CalibrationFit::Outcome::Fitted;

  const Eigen::VectorXd fitted = design * a;
  const Eigen::VectorXd residuals = energies - fitted;
  const double squares = residuals.squaredNorm();
  fit.rmsEv = std::sqrt(squares / n) * evPerUnit;
  // Leaving a point out leaves n - 1 points for `terms` terms: their scatter
  // needs at least one degree of freedom.
  const int freedom = n - terms - 1;
  fit.judged = freedom >= 1;
  for (int i = 0; i < n; ++i) {
    FittedPoint p;
    p.point = given[static_cast<size_t>(i)];
    p.fitted = fitted(i);
    p.residualEv = residuals(i) * evPerUnit;
    const Eigen::VectorXd row = design.row(i).transpose();
    const double leverage = row.dot(inverse * row);
    const double free = 1.0 - leverage;
    // A point the others cannot predict (it alone fixes a term) is not judged.
    if (fit.judged && free > 1e-9) {
      p.leaveOneOutEv = residuals(i) / free * evPerUnit;
      const double othersSquares = std::max(squares - residuals(i) * residuals(i) / free, 0.0);
      const double othersScatter = std::sqrt(othersSquares / freedom);
      p.studentised = othersScatter > 0.0 ? residuals(i) / (othersScatter * std::sqrt(free))
                                          : (residuals(i) == 0.0 ? 0.0 : HUGE_VAL);
      p.flagged = std::fabs(p.leaveOneOutEv) > kFlagAtLeastEv && std::fabs(p.studentised) > kFlagStudentised;
    }
    fit.points.push_back(std::move(p));
  }
  return fit;
}

void storeFittedCalibration(EnergyCalibration& cal, const CalibrationFit& fit, bool inEv) {
  const double scale = inEv ? 1000.0 : 1.0;
  cal.Gain = static_cast<float>(fit.gain * scale);
  cal.Offset = static_cast<float>(fit.offset * scale);
  cal.Quadratic = static_cast<float>(fit.quadratic * scale);
  cal.UnitText.fill('\0');
  const std::string unit = inEv ? "eV" : "keV";
  std::copy(unit.begin(), unit.end(), cal.UnitText.begin());
  cal.Valid = 1;
}

const char* calibrationFitOutcomeText(CalibrationFit::Outcome outcome) {
  switch (outcome) {
    case CalibrationFit::Outcome::Fitted:
      return "fitted";
    case CalibrationFit::Outcome::TooFewPoints:
      return "too few points: a line needs 2, a quadratic 3";
    case CalibrationFit::Outcome::TooFewChannels:
      return "too few distinct channels: a line needs 2, a quadratic 3";
    case CalibrationFit::Outcome::NotFinite:
      return "a channel or energy is not a finite number";
  }
  return "";
}

}  // namespace tolvane
