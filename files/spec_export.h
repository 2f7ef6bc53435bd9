#pragma once
// A one-scan SPEC file for XRF fitting programs: the scan's header lines
// and the spectrum as one MCA record, "@A" followed by 16 values a line
// with "\" continuations. Energies are given in keV.
#include <string>

#include "files/exported_spectrum.h"

namespace tolvane {

// `fileName` is written on the #F line.
std::string specText(const ExportedSpectrum& spectrum, const std::string& fileName);

}  // namespace tolvane
