#include "quant/concentration_solver.h"

#include <algorithm>
#include <cmath>

namespace tolvane {

namespace {

void addElement(std::vector<int>& elements, int z) {
  if (std::find(elements.begin(), elements.end(), z) == elements.end()) elements.push_back(z);
}

std::vector<AnalyteLine> analytesOf(const std::vector<MeasuredElement>& measured) {
  std::vector<AnalyteLine> analytes;
  for (const MeasuredElement& m : measured) analytes.push_back({m.z, m.group});
  return analytes;
}

std::vector<double> fractionsOf(const FluorescenceModel& model, const std::vector<ElementFraction>& composition) {
  std::vector<double> w(model.elements().size(), 0.0);
  for (const ElementFraction& f : composition) {
    const int index = model.elementIndex(f.z);
    if (index >= 0) w[static_cast<size_t>(index)] += f.fraction;
  }
  return w;
}

double fractionIn(const std::vector<ElementFraction>& composition, int z) {
  double sum = 0.0;
  for (const ElementFraction& f : composition)
    if (f.z == z) sum += f.fraction;
  return sum;
}

// The model with what does not change during the iteration: each
// standard's and each pure element's intensity.
struct Setup {
  FluorescenceModel model;
  std::vector<double> standard;
  std::vector<double> pure;
};

Setup makeSetup(const QuantRequest& request) {
  std::vector<int> elements;
  for (const MeasuredElement& m : request.measured) {
    addElement(elements, m.z);
    for (const ElementFraction& f : m.standard) addElement(elements, f.z);
  }
  for (const ElementFraction& f : request.constraint.balance) addElement(elements, f.z);
  Setup setup{FluorescenceModel(elements, analytesOf(request.measured), request.beam, request.geometry), {}, {}};
  for (size_t i = 0; i < request.measured.size(); ++i) {
    const auto standard = setup.model.intensities(fractionsOf(setup.model, request.measured[i].standard));
    const auto pure = setup.model.intensities(fractionsOf(setup.model, {{request.measured[i].z, 1.0}}));
    setup.standard.push_back(standard[i].total());
    setup.pure.push_back(pure[i].total());
  }
  return setup;
}

// Which measured elements the iteration solves for, and which one (if
// any) is the balance by difference.
struct Roles {
  std::vector<bool> solved;
  std::vector<bool> byDifference;
};

Roles rolesOf(const QuantRequest& request, const Setup& setup) {
  Roles roles;
  const SumConstraint& c = request.constraint;
  for (size_t i = 0; i < request.measured.size(); ++i) {
    const bool difference = !c.normalise && c.balance.size() == 1 && c.balance.front().z == request.measured[i].z;
    const bool excited = setup.model.excited(i) && setup.standard[i] > 0.0;
    roles.byDifference.push_back(difference);
    roles.solved.push_back(excited && !difference);
  }
  return roles;
}

struct Composition {
  std::vector<double> fractions;  // per model element
  double rawSum = 0.0;            // sum of the solved fractions before the constraint
  double rest = 0.0;              // the balance's share
};

Composition compose(const QuantRequest& request, const Setup& setup, const Roles& roles,
                    const std::vector<double>& raw) {
  Composition out;
  out.fractions.assign(setup.model.elements().size(), 0.0);
  for (size_t i = 0; i < raw.size(); ++i)
    if (roles.solved[i]) out.rawSum += raw[i];
  const double scale = request.constraint.normalise && out.rawSum > 0.0 ? 1.0 / out.rawSum : 1.0;
  for (size_t i = 0; i < raw.size(); ++i)
    if (roles.solved[i])
      out.fractions[static_cast<size_t>(setup.model.elementIndex(request.measured[i].z))] += raw[i] * scale;
  if (!request.constraint.normalise) {
    out.rest = std::max(0.0, 1.0 - out.rawSum);
    for (const ElementFraction& f : request.constraint.balance)
      out.fractions[static_cast<size_t>(setup.model.elementIndex(f.z))] += out.rest * f.fraction;
  }
  return out;
}

// One step for one element. The K-ratio against the pure element, k, is
// near a hyperbola in the fraction c: k = c / (c + alpha (1 - c)). Alpha is
// taken from the model at the current composition and the hyperbola then
// solved for the measured k, which converges in a few steps where the plain
// ratio update c k / k_model needs many under strong absorption.
double nextFraction(double c, double kModel, double kMeasured) {
  if (kModel <= 0.0) return c;
  const double ratioStep = c * kMeasured / kModel;
  if (c <= 1e-12 || c >= 1.0 - 1e-12 || kModel >= 1.0 || kMeasured <= 0.0) return ratioStep;
  const double alpha = c * (1.0 - kModel) / (kModel * (1.0 - c));
  const double denominator = 1.0 + kMeasured * (alpha - 1.0);
  const double next = alpha * kMeasured / denominator;
  if (!(alpha > 0.0) || !(denominator > 0.0) || !std::isfinite(next)) return ratioStep;
  return next;
}

struct Solution {
  std::vector<double> raw;
  Composition composition;
  int iterations = 0;
  bool converged = false;
};

Solution iterate(const QuantRequest& request, const Setup& setup, const Roles& roles,
               const std::vector<double>& kratios, std::vector<double> raw) {
  Solution s;
  for (int iteration = 1; iteration <= request.maxIterations; ++iteration) {
    s.iterations = iteration;
    const Composition composition = compose(request, setup, roles, raw);
    const auto modelled = setup.model.intensities(composition.fractions, request.arealDensity);
    double change = 0.0;
    for (size_t i = 0; i < raw.size(); ++i) {
      if (!roles.solved[i]) continue;
      const double c = composition.fractions[static_cast<size_t>(setup.model.elementIndex(request.measured[i].z))];
      const double kModel = modelled[i].total() / setup.pure[i];
      const double kMeasured = kratios[i] * setup.standard[i] / setup.pure[i];
      // The fraction that gives the measured K-ratio in the current matrix;
      // the constraint is applied when the next matrix is composed, so
      // their sum before it is the analytical total.
      const double next = std::clamp(nextFraction(c, kModel, kMeasured), 0.0, 10.0);
      change = std::max(change, std::fabs(next - raw[i]));
      raw[i] = next;
    }
    if (change < request.tolerance) {
      s.converged = true;
      break;
    }
  }
  s.raw = raw;
  s.composition = compose(request, setup, roles, raw);
  return s;
}

// The reported fraction of each measured element (none when not solved
// and not the balance).
std::vector<std::optional<double>> reported(const QuantRequest& request, const Roles& roles, const Solution& s) {
  std::vector<std::optional<double>> out(request.measured.size());
  for (size_t i = 0; i < out.size(); ++i) {
    if (roles.solved[i])
      out[i] = request.constraint.normalise && s.composition.rawSum > 0.0 ? s.raw[i] / s.composition.rawSum : s.raw[i];
    else if (roles.byDifference[i])
      out[i] = s.composition.rest;
  }
  return out;
}

}  // namespace

struct ConcentrationSolver::State {
  QuantRequest request;
  Setup setup;
  Roles roles;
};

ConcentrationSolver::ConcentrationSolver(const QuantRequest& request) {
  Setup setup = makeSetup(request);
  Roles roles = rolesOf(request, setup);
  state_ = std::make_unique<State>(State{request, std::move(setup), std::move(roles)});
}

ConcentrationSolver::~ConcentrationSolver() = default;

QuantResult quantify(const QuantRequest& request) {
  std::vector<double> kratios, errors;
  for (const MeasuredElement& m : request.measured) {
    kratios.push_back(m.kratio);
    errors.push_back(m.kratioError);
  }
  return ConcentrationSolver(request).solve(kratios, errors);
}

QuantResult ConcentrationSolver::solve(const std::vector<double>& kratios, const std::vector<double>& errors,
                                       bool withErrors) const {
  const QuantRequest& request = state_->request;
  const Setup& setup = state_->setup;
  const Roles& roles = state_->roles;
  std::vector<double> start;
  for (size_t i = 0; i < request.measured.size(); ++i) {
    const MeasuredElement& m = request.measured[i];
    const double inStandard = fractionIn(m.standard, m.z);
    start.push_back(roles.solved[i] ? std::max(kratios[i] * (inStandard > 0.0 ? inStandard : 1.0), 1e-6) : 0.0);
  }
  const Solution solution = iterate(request, setup, roles, kratios, start);
  const auto fractions = reported(request, roles, solution);

  // Errors: the change of every fraction with each K-ratio, by a small
  // step from the solution, combined in quadrature.
  std::vector<double> variance(request.measured.size(), 0.0);
  double restVariance = 0.0;
  for (size_t j = 0; withErrors && j < request.measured.size(); ++j) {
    if (!roles.solved[j] || !(errors[j] > 0.0)) continue;
    const double step = std::max(1e-4 * std::fabs(kratios[j]), 1e-9);
    std::vector<double> shifted = kratios;
    shifted[j] += step;
    const Solution moved = iterate(request, setup, roles, shifted, solution.raw);
    const auto movedFractions = reported(request, roles, moved);
    for (size_t i = 0; i < variance.size(); ++i) {
      if (!fractions[i] || !movedFractions[i]) continue;
      const double slope = (*movedFractions[i] - *fractions[i]) / step;
      variance[i] += slope * slope * errors[j] * errors[j];
    }
    const double restSlope = (moved.composition.rest - solution.composition.rest) / step;
    restVariance += restSlope * restSlope * errors[j] * errors[j];
  }

  QuantResult result;
  result.iterations = solution.iterations;
  result.converged = solution.converged;
  for (size_t i = 0; i < request.measured.size(); ++i) {
    QuantElementResult r;
    r.z = request.measured[i].z;
    r.group = request.measured[i].group;
    r.kratio = kratios[i];
    r.excited = setup.model.excited(i) && setup.standard[i] > 0.0;
    r.byDifference = roles.byDifference[i];
    r.fraction = fractions[i];
    r.fractionError = std::sqrt(variance[i]);
    result.elements.push_back(r);
  }
  // The balance's elements that were not measured.
  if (!request.constraint.normalise) {
    for (const ElementFraction& f : request.constraint.balance) {
      const bool measured = std::any_of(request.measured.begin(), request.measured.end(),
                                        [&](const MeasuredElement& m) { return m.z == f.z; });
      if (measured) continue;
      QuantElementResult r;
      r.z = f.z;
      r.measured = false;
      r.excited = false;
      r.byDifference = true;
      r.fraction = solution.composition.rest * f.fraction;
      r.fractionError = std::sqrt(restVariance) * f.fraction;
      result.elements.push_back(r);
    }
  }
  double total = 0.0;
  for (const QuantElementResult& r : result.elements)
    if (r.fraction) total += *r.fraction;
  result.total = request.constraint.normalise ? solution.composition.rawSum : total;
  return result;
}

std::vector<ForwardKratio> forwardKratios(const std::vector<MeasuredElement>& measured,
                                   const std::vector<ElementFraction>& composition, const ExcitationBeam& beam,
                                   const Geometry& geometry, double arealDensity) {
  std::vector<int> elements;
  for (const ElementFraction& f : composition) addElement(elements, f.z);
  for (const MeasuredElement& m : measured) {
    addElement(elements, m.z);
    for (const ElementFraction& f : m.standard) addElement(elements, f.z);
  }
  const FluorescenceModel model(elements, analytesOf(measured), beam, geometry);
  const auto sample = model.intensities(fractionsOf(model, composition), arealDensity);
  std::vector<ForwardKratio> out;
  for (size_t i = 0; i < measured.size(); ++i) {
    const auto standard = model.intensities(fractionsOf(model, measured[i].standard));
    const double reference = standard[i].total();
    out.push_back({reference > 0.0 ? sample[i].total() / reference : 0.0,
                   sample[i].primary > 0.0 ? sample[i].secondary / sample[i].primary : 0.0});
  }
  return out;
}

}  // namespace tolvane
