#pragma once
// Spectra added channel by channel: the counts add, and so do the live,
// real and preset times, so the sum reads as one run of the whole counting
// time. Every spectrum must have the first one's channel count and energy
// calibration. The header (start time, ROIs, sample ID) is the first
// spectrum's; its comment says what was added.
#include <vector>

#include "analysis/derived_spectrum.h"

namespace tolvane {

DerivedSpectrum sumSpectra(const std::vector<SpectrumPart>& parts);

}  // namespace tolvane
