#include "quant/xray_data.h"

#include <xraylib.h>

#include <cmath>

namespace tolvane {

namespace {

// One call into the library: 0 when it reports an error (no line, below
// the edge, out of range) or gives something that is not a number.
template <typename Call>
double valueOrZero(Call call) {
  xrl_error* error = nullptr;
  const double value = call(&error);
  if (error != nullptr) {
    xrl_error_free(error);
    return 0.0;
  }
  return std::isfinite(value) ? value : 0.0;
}

}  // namespace

double massAttenuation(int z, double energyKev) {
  return valueOrZero([&](xrl_error** e) { return CS_Total_Kissel(z, energyKev, e); });
}

double lineCrossSection(int z, int line, double energyKev) {
  return valueOrZero([&](xrl_error** e) { return CS_FluorLine_Kissel_Cascade(z, line, energyKev, e); });
}

double lineEnergy(int z, int line) {
  return valueOrZero([&](xrl_error** e) { return LineEnergy(z, line, e); });
}

double edgeEnergy(int z, int shell) {
  return valueOrZero([&](xrl_error** e) { return EdgeEnergy(z, shell, e); });
}

double atomicWeight(int z) {
  return valueOrZero([&](xrl_error** e) { return AtomicWeight(z, e); });
}

double lineYield(int z, int shell, int line) {
  const double yield = valueOrZero([&](xrl_error** e) { return FluorYield(z, shell, e); });
  return yield * valueOrZero([&](xrl_error** e) { return RadRate(z, line, e); });
}

std::optional<std::vector<ElementFraction>> formulaFractions(const std::string& formula) {
  xrl_error* error = nullptr;
  compoundData* data = CompoundParser(formula.c_str(), &error);
  if (error != nullptr) xrl_error_free(error);
  if (data == nullptr) return std::nullopt;
  std::vector<ElementFraction> out;
  for (int i = 0; i < data->nElements; ++i) out.push_back({data->Elements[i], data->massFractions[i]});
  FreeCompoundData(data);
  return out;
}

}  // namespace tolvane
