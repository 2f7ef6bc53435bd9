#include "display/view_window.h"

#include <algorithm>

namespace tolvane {

namespace {

// Places a window of n channels about the cursor, kept inside the memory.
void centreOn(ViewWindow& view, int32_t n, int32_t channels) {
  view.First = std::max(view.Cursor - n / 2, 0);
  view.Last = view.First + n - 1;
  if (view.Last >= channels) {
    view.Last = channels - 1;
    view.First = std::max(channels - n, 0);
  }
}

}  // namespace

void expandView(ViewWindow& view, int32_t width, int32_t channels) {
  const int32_t n = view.Last - view.First + 1;
  if (n <= 0 || width <= 0) return;
  const int32_t s = n / width;
  int32_t target;
  if (s == 0) {
    const int32_t q = 2 * (width / n);
    if (q > 64) return;
    target = width / q;
  } else if (s == 1) {
    target = width / 2;
  } else {
    target = width * (s / 2);
  }
  centreOn(view, target, channels);
  if (view.Cursor < view.First || view.Cursor > view.Last) view.Cursor = view.First + (view.Last - view.First + 1) / 2;
}

void compressView(ViewWindow& view, int32_t width, int32_t channels) {
  const int32_t n = view.Last - view.First + 1;
  if (n <= 0 || width <= 0) return;
  const int32_t s = n / width;
  // Nothing to do once the whole memory is in view. (A stride test alone
  // would never pass a memory narrower than the plot, where M / W is 0.)
  if (view.First <= 0 && view.Last >= channels - 1) return;
  int32_t target;
  if (s == 0) {
    const int32_t q = (width / n) / 2;
    // At one pixel per channel q is 0: take the next coarser window, one
    // channel per column.
    target = q > 0 ? width / q : width;
  } else {
    target = width * 2 * s;
  }
  centreOn(view, std::min(target, channels), channels);
}

bool scrollViewLeft(ViewWindow& view) {
  if (view.First < kScrollLine) return false;
  view.First -= kScrollLine;
  view.Last -= kScrollLine;
  view.Cursor -= kScrollLine;
  return true;
}

bool scrollViewRight(ViewWindow& view, int32_t channels) {
  if (view.Last + kScrollLine >= channels) return false;
  view.First += kScrollLine;
  view.Last += kScrollLine;
  view.Cursor += kScrollLine;
  return true;
}

}  // namespace tolvane
