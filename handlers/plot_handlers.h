#pragma once
// The plot's handlers: the paint every change of data or view ends with,
// the two frame builders and the channel axis. Each first makes the state
// changes the paint stands for, then builds the plot model from the state
// (read only) and hands it to the session's painter when one is attached.
#include <cstdint>
#include <string>

namespace tolvane {

class DeviceStatus;
class Session;

// Keeps the state in step with what the plot shows (the kept status
// block's view outside analyser mode, an idle rate of 0, the ROI gross
// sums, the counts and energy at the cursor), then builds and paints.
void PaintBox1Paint(Session& session);
void DrawLogFrame(Session& session, bool full);
void DrawLinearFrame(Session& session, bool full);
// With the status block just received from the analyser, first takes the
// view range from it. The caller reads the block; drawing does no I/O.
void DrawChannelAxis(Session& session, const DeviceStatus* fromAnalyser = nullptr);

// Decimal text of a signed count, no padding.
std::string FormatCount(int32_t value);

}  // namespace tolvane
