#pragma once
// Reads the text MCA format of small USB analysers (".mca"): a line
// <<PMCA SPECTRUM>>, header lines "TAG - value" (LIVE_TIME and REAL_TIME
// in seconds, START_TIME as MM/DD/YYYY HH:MM:SS or YYYY-MM-DD HH:MM:SS,
// DESCRIPTION), an optional <<CALIBRATION>> section (LABEL - keV or eV,
// then "channel energy" pairs, taken as the least-squares line), then
// <<DATA>> with one count per line up to <<END>>. Sections after <<END>>
// (the analyser's configuration and status) are passed over; the lines in
// them are not checked. A file cut before <<END>> is refused: counts may
// be missing.
#include <string_view>

#include "files/text_spectrum_read.h"

namespace tolvane {

TextSpectrumRead readPmca(std::string_view text);

}  // namespace tolvane
