#pragma once
// The fit-quality results of xfit as the command line prints them: JSON
// members and the batch CSV's last two cells.
#include <string>

#include "cli/json_text.h"
#include "xfit/fit_quality.h"

namespace tolvane::cli {

// Adds "chi2_reduced", "dof" and "flags": [{"kind", "index", "text"}...]
// (the numbers are null when the fit could not be assessed).
void addFitQuality(JsonObject& object, const FitQuality& quality, const XfitWorkspace& fit);
// The header's last columns and a row's last cells: chi2_reduced, and the
// flags as kind:index joined by ';' (index left out for the fit as a whole).
inline constexpr const char* kFitQualityColumns = ",chi2_reduced,flags";
std::string fitQualityCells(const FitQuality& quality);

}  // namespace tolvane::cli
