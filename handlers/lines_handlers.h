#pragma once
// The window's line tools as operations on the session: the "Lines" field
// and its on/off box, "Identify" at the cursor, and the peak search.
#include <string>

#include "lines/spectrum_lines.h"

namespace tolvane {

class Session;

// Texts of the status field.
inline constexpr const char* kLinesUnknownText = "Lines: unknown element ";
inline constexpr const char* kLinesEmptySpectrumText = "Peaks: the spectrum holds no counts";

// Typing in the "Lines" field; redraws the markers.
void LinesTextChange(Session& session, const std::string& text);
// The on/off box; says in the status field when the markers cannot be drawn.
void LinesOnClick(Session& session, bool on);
// The lines within one FWHM of the cursor's energy, in the status field;
// the full list goes to `IdentifyDetails` for the tool tip.
void IdentifyClick(Session& session);
// The peak search on the working spectrum; the result stays in
// `LastPeaks` for the list, a summary goes to the status field.
void PeakSearchClick(Session& session);
// "Use elements": the proposed elements into the "Lines" field, markers on.
void UseProposedElements(Session& session);
// After "FWHM Calic.": keeps the measured width (when the spectrum is
// calibrated) as the detector's resolution for identification.
void NoteMeasuredFwhm(Session& session);

}  // namespace tolvane
