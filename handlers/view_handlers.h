#pragma once
// The view controls: LOG, Auto, the vertical arrows, Expand, Compress, the
// scroll bar, the mouse, Snap Peak, the calibration pick-up boxes, and the
// hard copy's colours. While the analyser is open and acquiring (analyser
// mode) they send a view command and the next status block brings the
// analyser's view back; otherwise (local mode) they change the view
// themselves and repaint.
#include <cstdint>

#include "display/view_controls.h"

namespace tolvane {

class Session;

void LogDispClick(Session& session);
void AutoVfsClick(Session& session);
void UpDown1Click(Session& session, bool up);
void ExpandClick(Session& session);
void CompresClick(Session& session);

// `position` is the scroll bar position the event proposes; it is moved by
// 10 per line and shown in the status field.
void ScrollBar1Scroll(Session& session, ScrollCode code, int32_t& position);

enum class MouseButton { Left, Other };
// `x` is relative to the paint box (the plot picture starts at x = 16).
void PaintBox1MouseDown(Session& session, MouseButton button, int32_t x);

void SnapPeakClick(Session& session);
void LengChClick(Session& session);
void HengChClick(Session& session);

// Switches the plot between its screen colours (light on black) and black
// on white for a hard copy, and redraws the frame and the plot.
void SetHardCopyColours(Session& session, bool printing);

}  // namespace tolvane
