#pragma once
// How channels map to plot columns and counts to plot rows.
#include <cstdint>

namespace tolvane {

// Signed stride: s >= 1 means s channels per column (compressed); s <= 0
// means p = -s pixels per channel (expanded).
struct ColumnMapping {
  int32_t s = 1;
  int32_t p = 0;  // pixels per channel when expanded, else 0
  bool expanded() const { return s <= 0; }
  bool operator==(const ColumnMapping&) const = default;
};

ColumnMapping columnMapping(int32_t first, int32_t last, int32_t width);

// The row of a count: H - h, at most H - 1. Linear: h = v * H / F with F
// the full scale of `fullScaleIndex`; log: h = trunc(log10(v) * (H / 6)),
// 0 below one count. Rows above the picture are negative (kept no lower
// than kTopmostRow, far outside any picture, so they stay safe to draw).
inline constexpr int32_t kTopmostRow = -32768;
int32_t countRow(int32_t value, bool logScale, int32_t fullScaleIndex, int32_t height);

// The column of a channel in the window starting at `first`; the rules the
// ROI shading and the cursor use (truncating division when compressed).
int32_t columnOfChannel(int32_t channel, int32_t first, const ColumnMapping& mapping);

}  // namespace tolvane
