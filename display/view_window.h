#pragma once
// The zoom and scroll rules of the horizontal view, shared by the local
// view controls and by the simulated analyser, which keeps a view of its
// own that the same commands change in the same way.
#include <cstdint>

namespace tolvane {

struct ViewWindow {
  int32_t First = 0;
  int32_t Last = 4095;
  int32_t Cursor = 2048;
};

// Halves the window about the cursor, down to 64 pixels per channel.
// `width` is the plot width in columns, `channels` the memory size.
void expandView(ViewWindow& view, int32_t width, int32_t channels);
// Doubles the window about the cursor, up to the whole memory. From one
// pixel per channel it goes to the next coarser window instead of dividing
// by zero.
void compressView(ViewWindow& view, int32_t width, int32_t channels);
// Moves first, last and cursor by 10 channels when the window stays inside
// the memory; returns whether it moved.
bool scrollViewLeft(ViewWindow& view);
bool scrollViewRight(ViewWindow& view, int32_t channels);

inline constexpr int32_t kScrollLine = 10;

}  // namespace tolvane
