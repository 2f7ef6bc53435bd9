#include "quant/table_conditions.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "files/atomic_file.h"
#include "lines/line_data.h"
#include "quant/xray_data.h"

namespace tolvane {

TableConditionsRead readTableConditions(const std::string& tablePath) {
  const std::string path = conditionsPathFor(tablePath);
  std::ifstream in(path);
  if (!in) return {QuantConditions{}, false, {}};
  const ConditionsRead read = readQuantConditions(in);
  if (!read.conditions) return {std::nullopt, true, path + ":" + std::to_string(read.errorLine) + ": " + read.error};
  return {read.conditions, true, {}};
}

bool saveTableConditions(const std::string& tablePath, const QuantConditions& conditions, std::string* error) {
  std::ostringstream text;
  writeQuantConditions(text, conditions);
  const std::string bytes = text.str();
  return writeFileAtomically(conditionsPathFor(tablePath), bytes.data(), bytes.size(), error);
}

ConditionsRead conditionsWithSettings(const QuantConditions& base, const std::string& settings) {
  std::ostringstream text;
  writeQuantConditions(text, base);
  const std::string baseText = text.str();
  const int baseLines = static_cast<int>(std::count(baseText.begin(), baseText.end(), '\n'));
  std::istringstream all(baseText + settings);
  ConditionsRead read = readQuantConditions(all);
  if (!read.conditions) {
    read.errorLine -= baseLines;  // the line of `settings`
    return read;
  }
  if (!sumConstraintOf(read.conditions->balance))
    return {std::nullopt, 0, "balance '" + read.conditions->balance + "' is neither normalise nor an element or formula"};
  return read;
}

std::optional<SumConstraint> sumConstraintOf(const std::string& balance) {
  SumConstraint c;
  if (balance == "normalise" || balance == "normalize") return c;
  const auto fractions = formulaFractions(balance);
  if (!fractions) return std::nullopt;
  c.normalise = false;
  c.balance = *fractions;
  c.balanceName = balance;
  return c;
}

std::optional<std::vector<ElementFraction>> standardComposition(const QuantConditions& conditions, int z,
                                                                std::string* error) {
  const auto it = conditions.standards.find(z);
  if (it == conditions.standards.end() || it->second.formula.empty()) return std::vector<ElementFraction>{{z, 1.0}};
  auto fractions = formulaFractions(it->second.formula);
  if (!fractions ||
      std::none_of(fractions->begin(), fractions->end(), [&](const ElementFraction& f) { return f.z == z; })) {
    if (error) *error = "the standard of " + elementSymbol(z) + " (" + it->second.formula + ") does not contain it";
    return std::nullopt;
  }
  return fractions;
}

std::optional<int> standardElement(const std::string& elemName) {
  return parseElement(elemName.substr(0, elemName.find_first_of(" -_")));
}

double currentScale(const QuantConditions& conditions, int z) {
  const auto it = conditions.standards.find(z);
  const double standardUa = it != conditions.standards.end() ? it->second.currentUa : 0.0;
  return standardUa > 0.0 && conditions.sampleCurrentUa > 0.0 ? standardUa / conditions.sampleCurrentUa : 1.0;
}

}  // namespace tolvane
