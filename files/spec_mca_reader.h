#pragma once
// Reads SPEC files with MCA data: scans start at "#S n title"; a scan's
// MCA spectrum is an "@A" line of counts, continued on the next line while
// a line ends in a backslash. Within the scan, "#@CHANN n first last
// reduction" says which channels the values are, "#@CALIB a b c" the
// energy E(ch) = a + b ch + c ch^2 in keV ("0 1 0" is no calibration),
// "#@CTIME preset live real" the times in seconds, and "#D" the date
// ("Mon Dec 07 12:05:28 2026"). The first MCA spectrum of the file is read;
// a file holding more says so in a warning.
#include <string_view>

#include "files/text_spectrum_read.h"

namespace tolvane {

TextSpectrumRead readSpecMca(std::string_view text);

}  // namespace tolvane
