#pragma once
// The spectrum as comma-separated values: a header line
// "channel,energy_kev,counts", then one line per channel. The energy
// column is left empty when there is no calibration.
#include <string>

#include "files/exported_spectrum.h"

namespace tolvane {

std::string csvText(const ExportedSpectrum& spectrum);

}  // namespace tolvane
