#include "display/pixel_pen_renderer.h"

#include <algorithm>
#include <cstdlib>

namespace tolvane {

PixelPen::PixelPen(QImage& image)
    : bits_(image.bits()), stride_(image.bytesPerLine()), width_(image.width()), height_(image.height()) {}

// Step i of n along the major axis puts the minor coordinate at
// start + round(i * delta / n), rounding halves up: the same pixels as
// Bresenham's walk, but computable for any i, so only the steps that land
// inside the image are visited however far outside the line reaches.
void PixelPen::lineTo(int32_t x, int32_t y) {
  const int64_t dx = int64_t{x} - x_, dy = int64_t{y} - y_;
  const int64_t steps = std::max(std::llabs(dx), std::llabs(dy));
  const bool yMajor = std::llabs(dy) >= std::llabs(dx);
  const int64_t major0 = yMajor ? y_ : x_;
  const int64_t majorDir = (yMajor ? dy : dx) < 0 ? -1 : 1;
  const int64_t minor0 = yMajor ? x_ : y_;
  const int64_t minorDelta = yMajor ? dx : dy;
  const int64_t majorLimit = yMajor ? height_ : width_;

  // Steps whose major coordinate lies inside 0 .. limit-1.
  int64_t iFirst = 0, iLast = steps - 1;
  if (majorDir > 0) {
    iFirst = std::max<int64_t>(iFirst, -major0);
    iLast = std::min<int64_t>(iLast, majorLimit - 1 - major0);
  } else {
    iFirst = std::max<int64_t>(iFirst, major0 - (majorLimit - 1));
    iLast = std::min<int64_t>(iLast, major0);
  }
  for (int64_t i = iFirst; i <= iLast; ++i) {
    const int64_t major = major0 + majorDir * i;
    // round(i * delta / steps), halves away from the start toward the end
    const int64_t num = 2 * i * minorDelta + (minorDelta >= 0 ? steps : -steps);
    const int64_t minor = minor0 + num / (2 * steps);
    if (yMajor)
      setPixel(static_cast<int32_t>(minor), static_cast<int32_t>(major));
    else
      setPixel(static_cast<int32_t>(major), static_cast<int32_t>(minor));
  }
  x_ = x;
  y_ = y;
}

}  // namespace tolvane
