#pragma once
// EMSA/MAS spectral data files (version 1.0), the exchange format of EDS
// analysis programs: "#KEYWORD : value" lines, then the data between
// #SPECTRUM and #ENDOFDATA. Lines end in CR LF and hold ASCII only.
#include <string>

#include "files/exported_spectrum.h"

namespace tolvane {

// Y: the counts alone, at most five a line. XY: one "energy, count" pair a
// line (the channel number when there is no calibration).
enum class EmsaDataForm { Y, XY };

std::string emsaText(const ExportedSpectrum& spectrum, EmsaDataForm form);

}  // namespace tolvane
