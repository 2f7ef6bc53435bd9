#pragma once
// The background controls of the "Lines" page: the SNIP background drawn over the plot, the ROIs' net
// sums over it instead of the straight line, its window width, and memory
// overlays normalised by live time.
#include <string>

namespace tolvane {

class Session;

// "SNIP" box: draws the background over the plot, or stops drawing it.
void SnipShownClick(Session& session, bool on);
// "ROI net" box: the ROIs' net sums over the SNIP background (checked) or
// the straight line from three channels each side (the default).
void RoiNetSnipClick(Session& session, bool on);
// "Norm. LT" box: memory SnapShots taken from now on are scaled to the
// common live time. Overlays already taken keep their picture.
void NormaliseOverlaysClick(Session& session, bool on);
// The width field: a whole number of channels, 1 to 4095, or empty for the
// width from the detector's resolution. Anything else: "Error ! SNIP Width"
// in Edit1 and the width stays.
void SnipWidthChange(Session& session, const std::string& text);

inline constexpr const char* kSnipWidthErrorText = "Error ! SNIP Width";

}  // namespace tolvane
