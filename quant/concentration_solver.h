#pragma once
// From measured K-ratios to mass fractions: each K-ratio is the intensity
// of an element's line group in the sample over that in its standard (a
// pure element or a compound of known composition), and the composition
// is the one whose modelled K-ratios (quant/fluorescence_model.h) match
// them. It is found by iteration with a sum constraint.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "quant/fluorescence_model.h"
#include "quant/xray_data.h"

namespace tolvane {

struct MeasuredElement {
  int z = 0;
  LineGroup group = LineGroup::KAlpha;
  std::vector<ElementFraction> standard;  // the standard's composition; thick
  double kratio = 0.0;
  double kratioError = 0.0;  // propagated into the mass fraction's error
};

// How the fractions are made to add up: scaled to sum to 1, or the rest
// given to a balance (an element by difference, or a matrix formula such
// as O or CH2O for plastics).
struct SumConstraint {
  bool normalise = true;
  std::vector<ElementFraction> balance;  // when not normalising; fractions of the balance's formula
  std::string balanceName;               // "Fe", "CH2O"
};

struct QuantRequest {
  std::vector<MeasuredElement> measured;
  SumConstraint constraint;
  ExcitationBeam beam;
  Geometry geometry;
  double arealDensity = 0.0;  // g/cm2 of the sample; 0 = thick
  double tolerance = 1e-6;    // on every mass fraction between two iterations
  int maxIterations = 50;
};

struct QuantElementResult {
  int z = 0;
  LineGroup group = LineGroup::KAlpha;
  double kratio = 0.0;
  bool measured = true;      // false: a balance element no K-ratio was given for
  bool excited = true;       // false: the beam cannot ionise the group's shell (or not measured)
  bool byDifference = false;  // the balance element: its fraction is the rest
  std::optional<double> fraction;  // none for an element not excited
  double fractionError = 0.0;
};

struct QuantResult {
  std::vector<QuantElementResult> elements;  // measured, then the balance's elements not measured
  int iterations = 0;
  bool converged = false;
  // Sum of the fractions before normalising (the analytical total); with a
  // balance, the measured fractions plus the balance.
  double total = 0.0;
};

QuantResult quantify(const QuantRequest& request);

// The same for many samples against one set of standards and conditions:
// the atomic data and the standards' intensities are worked out once.
class ConcentrationSolver {
 public:
  // The request's K-ratios and errors are not read.
  explicit ConcentrationSolver(const QuantRequest& request);
  ~ConcentrationSolver();
  ConcentrationSolver(const ConcentrationSolver&) = delete;
  ConcentrationSolver& operator=(const ConcentrationSolver&) = delete;

  // One sample's K-ratios (and their errors, in the order of the request's
  // elements); without `withErrors` no error is propagated (all 0).
  QuantResult solve(const std::vector<double>& kratios, const std::vector<double>& errors,
                    bool withErrors = true) const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The K-ratios the model predicts for a composition against the standards
// of `measured` (their kratio fields are not read); 0 for a group the beam
// cannot excite. With each, the sample's secondary over its primary
// fluorescence.
struct ForwardKratio {
  double kratio = 0.0;
  double secondaryShare = 0.0;
};
std::vector<ForwardKratio> forwardKratios(const std::vector<MeasuredElement>& measured,
                                   const std::vector<ElementFraction>& composition, const ExcitationBeam& beam,
                                   const Geometry& geometry, double arealDensity = 0.0);

}  // namespace tolvane
