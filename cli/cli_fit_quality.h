#pragma once
// The fit-quality results of xfit as the command line prints them in JSON.
#include <string>

#include "cli/json_text.h"
#include "xfit/fit_quality.h"

namespace tolvane::cli {

// Adds "chi2_reduced", "chi2_reduced_after_spill", "dof" and "flags":
// [{"kind", "index", "text"}...] (a spill also gives "other_index",
// "first_channel" and "last_channel"; the numbers are null when the fit
// could not be assessed).
void addFitQuality(JsonObject& object, const FitQuality& quality, const XfitWorkspace& fit);

}  // namespace tolvane::cli
