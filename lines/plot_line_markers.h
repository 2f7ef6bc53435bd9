#pragma once
// The plot's line markers from the session: the "Lines" field's elements
// at the current view, when the box is on and the calibration places them.
namespace tolvane {

class Session;

void buildLineMarkers(Session& session);

}  // namespace tolvane
