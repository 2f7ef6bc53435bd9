#pragma once
// Reads spectra kept as columns of text (".txt", ".csv", ".dat" of
// spreadsheets and scripts, and ".mca" of the simplest kind): one column
// of counts; two columns of channel or energy and counts; or three of
// channel, energy and counts (as File > Export's CSV writes them, the
// energy empty without a calibration). Fields are separated by commas,
// semicolons, blanks or tabs; lines starting with '#' and blank lines are
// passed over; one header line of names may come before the numbers.
//
// Two columns: the first is channels when the header names channels or,
// without a header, when it counts 0, 1, 2, ... (or from another whole
// number, each next one up); otherwise it is energy, evenly spaced, in
// keV, or in eV when the header says eV or (without a header) the last
// energy is above 500, as a calibration's unit is told elsewhere. Uneven
// energies, and channels that skip, are refused with the line.
#include <string_view>

#include "files/text_spectrum_read.h"

namespace tolvane {

TextSpectrumRead readColumns(std::string_view text);

}  // namespace tolvane
