#pragma once
// A standards table's conditions file (TABLE.quant beside TABLE.ref) as
// the command line and the window both use it: read with the defaults when
// there is none, saved in one step, and what its settings mean for a
// quantification (the sum constraint, each element's standard and the
// ratio of beam currents).
#include <optional>
#include <string>
#include <vector>

#include "quant/concentration_solver.h"
#include "quant/quant_conditions.h"

namespace tolvane {

struct TableConditionsRead {
  std::optional<QuantConditions> conditions;  // the defaults when the table has no file
  bool fromFile = false;
  std::string error;  // "PATH:LINE: why" when the file cannot be used
};
TableConditionsRead readTableConditions(const std::string& tablePath);

// Writes the conditions beside the table, replacing the file in one step;
// false with the reason in `error` when it cannot.
bool saveTableConditions(const std::string& tablePath, const QuantConditions& conditions, std::string* error = nullptr);

// `base` with settings in the file's words applied over it, as the lines
// of a file after base's own would be ("source cd109", "angles 60 30"):
// how a setup edited in the window is checked by the same reader. A
// balance that names nothing is refused here too.
ConditionsRead conditionsWithSettings(const QuantConditions& base, const std::string& settings);

// The sum constraint a balance text names ("normalise", "Fe", "CH2O");
// nothing when it names none.
std::optional<SumConstraint> sumConstraintOf(const std::string& balance);

// The standard of element z: its formula from the conditions, else the
// pure element; nothing, with the reason in `error`, when the formula is
// not one or does not contain z.
std::optional<std::vector<ElementFraction>> standardComposition(const QuantConditions& conditions, int z,
                                                                std::string* error = nullptr);

// The element a standard's name stands for ("Fe", "Fe Ka", "Fe-1").
std::optional<int> standardElement(const std::string& elemName);

// (standard's current / sample's current) from the conditions; 1 when
// either is not stated.
double currentScale(const QuantConditions& conditions, int z);

}  // namespace tolvane
