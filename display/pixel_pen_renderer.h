#pragma once
// Lines drawn pixel by pixel on a 32-bit image with the pen semantics the
// plot's rules are written for: a line runs from the pen position towards a
// point and stops before it (the end pixel is not set), and the pen then
// stands at that point. QPainter would set the end pixel of a thin line,
// so the trace, overlays, ticks and marks go through this pen instead.
#include <QImage>
#include <cstdint>

namespace tolvane {

class PixelPen {
 public:
  // `image` must stay alive and must not be reallocated while the pen is used.
  explicit PixelPen(QImage& image);

  void setColour(QRgb colour) { colour_ = colour; }
  void moveTo(int32_t x, int32_t y) {
    x_ = x;
    y_ = y;
  }
  void lineTo(int32_t x, int32_t y);
  void setPixel(int32_t x, int32_t y) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_) row(y)[x] = colour_;
  }

 private:
  QRgb* row(int32_t y) { return reinterpret_cast<QRgb*>(bits_ + static_cast<ptrdiff_t>(y) * stride_); }

  uchar* bits_;
  qsizetype stride_;
  int32_t width_, height_;
  QRgb colour_ = 0xFF000000;
  int32_t x_ = 0, y_ = 0;
};

// 0x00BBGGRR to Qt's colour word.
inline QRgb toQRgb(uint32_t colour) { return qRgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF); }

}  // namespace tolvane
