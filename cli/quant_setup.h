#pragma once
// What `quant` and `xfit --batch --quant` share: a table's conditions file,
// the standards of its elements, and the K-ratio per live time and current.
#include <optional>
#include <string>
#include <vector>

#include "quant/concentration_solver.h"
#include "quant/quant_conditions.h"

namespace tolvane::cli {

// TABLE.quant beside the table when there is one, else the defaults;
// nullopt after printing why (file and line) when it cannot be read.
std::optional<QuantConditions> tableConditions(const std::string& tablePath);

// The sum constraint a --balance text names; nullopt when it names none.
std::optional<SumConstraint> constraintOf(const std::string& balance);

// The standard of element z: its formula from the conditions, else the
// pure element; nullopt (after a usage error) when the formula lacks z.
std::optional<std::vector<ElementFraction>> standardOf(const QuantConditions& c, int z);

// The element a standard's name stands for ("Fe", "Fe Ka", "Fe-1").
std::optional<int> standardElement(const std::string& elemName);

// (standard's current / sample's current) from the conditions; 1 when
// either is not stated.
double currentScale(const QuantConditions& c, int z);

}  // namespace tolvane::cli
