#pragma once
// The plot operations every handler calls after changing data or the view.
// Each does its part on the shared state, then hands drawing to the
// session's painter when one is attached.
#include <cstdint>
#include <string>

namespace tolvane {

class Session;

void PaintBox1Paint(Session& session);
void DrawLogFrame(Session& session, bool full);
void DrawLinearFrame(Session& session, bool full);
// With `fromAnalyser` set, first reads the status block and takes the view
// range from it when that read succeeds.
void DrawChannelAxis(Session& session, bool fromAnalyser);

// Decimal text of a signed count, no padding.
std::string FormatCount(int32_t value);

}  // namespace tolvane
