#pragma once
// An energy calibration through any number of (channel, energy) points: a
// least-squares line E(c) = offset + gain x c, or a quadratic with the term
// c^2 x quadratic as well, with each point's residual in eV, the RMS, and a
// flag on a point that does not fit the others.
//
// The flag is a leave-one-out test: the calibration fitted through the other
// points predicts the point's energy; the point is flagged when that
// prediction misses it by more than kFlagAtLeastEv and by more than
// kFlagStudentised times the scatter the other points show about their own
// fit (the externally studentised residual). It needs at least one point
// more than the fit has terms beyond the point left out (4 points for a
// line, 5 for a quadratic); with fewer nothing is judged.
#include <string>
#include <vector>

namespace tolvane {

struct CalibrationPoint {
  double channel = 0.0;
  double energy = 0.0;  // in the calibration's unit
  std::string label;    // "Mn Kα" or "" for a typed point
};

// A sixth of the detector's FWHM at 6 keV: real centroids stray by a few
// eV from tabulated energies (line shapes, satellites, tails), a line
// taken for its neighbour by tens.
inline constexpr double kFlagAtLeastEv = 20.0;
inline constexpr double kFlagStudentised = 4.0;

struct FittedPoint {
  CalibrationPoint point;
  double fitted = 0.0;      // the calibration's energy at the point's channel
  double residualEv = 0.0;  // energy - fitted, in eV
  // Energy minus the prediction of the fit through the other points, in eV
  // (0 where it cannot be formed).
  double leaveOneOutEv = 0.0;
  double studentised = 0.0;  // externally studentised residual (0 when not judged)
  bool flagged = false;
};

struct CalibrationFit {
  enum class Outcome {
    Fitted,
    TooFewPoints,   // fewer points than terms (2 for a line, 3 for a quadratic)
    TooFewChannels, // the points' distinct channels cannot fix the terms
    NotFinite,      // a channel or energy is not a finite number
  } outcome = Outcome::TooFewPoints;
  bool quadraticTerm = false;
  // E(c) = offset + gain x c + quadratic x c^2 (quadratic 0 for a line).
  double gain = 0.0, offset = 0.0, quadratic = 0.0;
  std::vector<FittedPoint> points;  // in the order given
  double rmsEv = 0.0;               // root mean square of the residuals
  bool judged = false;              // whether the leave-one-out flag could be formed
  int flaggedCount() const;
  double energy(double channel) const { return offset + gain * channel + quadratic * channel * channel; }
};

// `evPerUnit` is 1000 when the energies are in keV, 1 when in eV.
CalibrationFit fitCalibration(const std::vector<CalibrationPoint>& points, bool quadratic, double evPerUnit);

const char* calibrationFitOutcomeText(CalibrationFit::Outcome outcome);

struct EnergyCalibration;
// Stores a fit made in keV as the calibration in force, in eV when `inEv`
// (the coefficients times 1000) and keV otherwise, rounded to single
// precision, with that unit as its unit text. The reference pairs of the
// two-point page are left as they are.
void storeFittedCalibration(EnergyCalibration& calibration, const CalibrationFit& fitKev, bool inEv);

}  // namespace tolvane
