#pragma once
// What the xfit command checks and says about a sample against its
// standards: errors that name what is wrong with the table, and the
// live-time normalised K-ratio.
#include <optional>
#include <string>
#include <vector>

#include "files/spectrum_file.h"
#include "xfit/standards_check.h"

namespace tolvane::cli {

// Prints the error for a check that is not Ready and returns the exit
// code; nullopt when the standards are ready.
std::optional<int> refuseStandards(const std::string& tablePath, const StandardsCheck& check);

// The K-ratio per unit live time: kratio x (standard's live time / sample's
// live time); nullopt when either live time is 0.
std::optional<double> liveTimeKratio(double kratioPct, const SpectrumFileRead& sample, const StandardInUse& standard);

}  // namespace tolvane::cli
