#pragma once
// Concentrations by fundamental parameters from the MLSQ fit just made:
// each standard's K-ratio taken per live time and per beam current (the
// standard's over the sample's, from the table's conditions), then the
// iteration of quant/concentration_solver.h. The command line and the
// window quantify a fit through this one routine.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "quant/concentration_solver.h"
#include "quant/quant_conditions.h"
#include "xfit/mlsq_fit.h"
#include "xfit/standards_check.h"

namespace tolvane {

struct FitKratios {
  std::vector<MeasuredElement> measured;  // in the order of the fit's standards
  std::vector<int> records;               // the table record of each
  std::string error;                      // set: nothing could be measured
};

// `standards` are the fit's standards with their headers, in the fit's
// order (loadedStandards or checkStandards). The error is three standard
// deviations, as the fit's is.
FitKratios fitKratios(const TDmVQRN& module, int32_t sampleLiveTenths, const std::vector<StandardInUse>& standards,
                      const QuantConditions& conditions);

struct FitQuantification {
  std::optional<QuantResult> result;  // elements: the fit's standards in order, then the balance's
  std::vector<int> records;           // the table record of each measured element
  std::string error;
};

FitQuantification quantifyFit(const TDmVQRN& module, int32_t sampleLiveTenths,
                              const std::vector<StandardInUse>& standards, const QuantConditions& conditions);

}  // namespace tolvane

namespace tolvane {

// What the Xfit page keeps for "Quant": the table loaded (its conditions
// live beside it), those conditions as read or as set since, and the last
// quantification of a fit.
struct FitQuantState {
  std::string TablePath;
  QuantConditions Conditions;
  std::string ConditionsError;  // the file beside the table could not be read; the defaults stand
  FitQuantification Last;       // no result before a quantification
};

// Reads the conditions beside `tablePath` into `state` (the defaults and
// the reason when the file cannot be used) and forgets the last result.
void loadFitQuantConditions(FitQuantState& state, const std::string& tablePath);

}  // namespace tolvane
