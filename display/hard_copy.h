#pragma once
namespace tolvane {
class Session;
// Switches the plot between its screen colours (light on black) and black
// on white for a hard copy, and redraws the frame and the plot.
void SetHardCopyColours(Session& session, bool printing);
}  // namespace tolvane
