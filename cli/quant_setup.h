#pragma once
// What `quant` and `xfit --batch --quant` share: the table's conditions
// file and the standards of its elements, with their errors printed.
#include <optional>
#include <string>
#include <vector>

#include "quant/concentration_solver.h"
#include "quant/quant_conditions.h"
#include "quant/table_conditions.h"

namespace tolvane::cli {

// TABLE.quant beside the table when there is one, else the defaults;
// nullopt after printing why (file and line) when it cannot be read.
std::optional<QuantConditions> tableConditions(const std::string& tablePath);

// The standard of element z (quant/table_conditions.h); nullopt after a
// usage error when the formula lacks z.
std::optional<std::vector<ElementFraction>> standardOf(const QuantConditions& c, int z);

}  // namespace tolvane::cli
