#include "display/line_marker_renderer.h"

#include <QPainter>

#include "display/pixel_pen_renderer.h"

namespace tolvane {

void drawLineMarkers(QImage& image, const std::vector<LineMarker>& markers, const QFont& font) {
  if (markers.empty() || image.isNull()) return;
  {
    PixelPen pen(image);
    const int32_t bottom = image.height() - 1;
    for (const LineMarker& m : markers) {
      pen.setColour(toQRgb(m.colour));
      for (int32_t y = bottom; y > m.topRow; --y)
        if (!m.dashed || (bottom - y) % 6 < 3) pen.setPixel(m.x, y);
    }
  }
  // Labels hold Greek letters, beyond the single-byte glyphs of the plot's
  // texts, so they are drawn by QPainter in the same font.
  QPainter painter(&image);
  painter.setRenderHint(QPainter::TextAntialiasing, false);
  painter.setFont(font);
  const int ascent = painter.fontMetrics().ascent();
  for (const LineMarker& m : markers) {
    if (m.label.empty()) continue;
    painter.setPen(QColor::fromRgb(toQRgb(m.colour)));
    painter.drawText(m.labelX, m.labelY + ascent, QString::fromStdString(m.label));
  }
}

}  // namespace tolvane
