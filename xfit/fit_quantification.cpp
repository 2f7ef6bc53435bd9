#include "xfit/fit_quantification.h"

#include <cmath>

#include "quant/table_conditions.h"
#include "xfit/sample_warnings.h"

namespace tolvane {

FitKratios fitKratios(const TDmVQRN& module, int32_t sampleLiveTenths, const std::vector<StandardInUse>& standards,
                      const QuantConditions& conditions) {
  FitKratios out;
  const XfitWorkspace& fit = module.Fit;
  if (fit.FitCount <= 0 || standards.size() != static_cast<size_t>(fit.FitCount)) {
    out.error = "no fit to quantify";
    return out;
  }
  for (int k = 0; k < fit.FitCount; ++k) {
    const int index = fit.SelectedIndex[static_cast<size_t>(k)];
    const StandardRecord& r = module.Table.Records[static_cast<size_t>(index)];
    const std::string name = r.elemName();
    const std::string which = "standard No." + std::to_string(index + 1);
    const auto z = standardElement(name);
    if (!z) {
      out.error = which + ": '" + name + "' names no element";
      return out;
    }
    const auto perLiveTime =
        liveTimeKratio(r.kratioPct(), sampleLiveTenths, standards[static_cast<size_t>(k)].read.header.liveTime());
    if (!perLiveTime) {
      out.error = which + " or the sample has no live time";
      return out;
    }
    const auto standard = standardComposition(conditions, *z, &out.error);
    if (!standard) return out;
    const double currents = currentScale(conditions, *z);
    const double scale = *perLiveTime / r.kratioPct() * currents;  // live time and current together
    out.measured.push_back({*z, conditions.line, *standard, *perLiveTime / 100.0 * currents,
                            static_cast<double>(r.kratioErr()) / 100.0 * std::fabs(scale)});
    out.records.push_back(index);
  }
  return out;
}

FitQuantification quantifyFit(const TDmVQRN& module, int32_t sampleLiveTenths,
                              const std::vector<StandardInUse>& standards, const QuantConditions& conditions) {
  FitQuantification out;
  const auto constraint = sumConstraintOf(conditions.balance);
  if (!constraint) {
    out.error = "the balance '" + conditions.balance + "' is neither normalise nor an element or formula";
    return out;
  }
  FitKratios kratios = fitKratios(module, sampleLiveTenths, standards, conditions);
  if (!kratios.error.empty()) {
    out.error = kratios.error;
    return out;
  }
  QuantRequest request;
  request.constraint = *constraint;
  request.beam = conditions.beam();
  request.geometry = conditions.geometry;
  request.measured = std::move(kratios.measured);
  out.result = quantify(request);
  out.records = std::move(kratios.records);
  return out;
}

}  // namespace tolvane

namespace tolvane {

void loadFitQuantConditions(FitQuantState& state, const std::string& tablePath) {
  const TableConditionsRead read = readTableConditions(tablePath);
  state.TablePath = tablePath;
  state.Conditions = read.conditions.value_or(QuantConditions{});
  state.ConditionsError = read.error;
  state.Last = {};
}

}  // namespace tolvane
