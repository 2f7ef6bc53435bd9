#include "display/glyph_atlas_renderer.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

namespace tolvane {

GlyphAtlas::GlyphAtlas(const QFont& font) {
  const QFontMetrics metrics(font);
  ascent_ = metrics.ascent();
  const int height = metrics.height() + 4;
  constexpr int kPad = 8;  // room for glyphs that reach left of their origin
  for (int code = 32; code < 256; ++code) {
    if (code >= 127 && code < 160) continue;  // control characters draw nothing
    const QString text(QChar(static_cast<char16_t>(code)));
    Glyph& glyph = glyphs_[static_cast<size_t>(code)];
    glyph.advance = metrics.horizontalAdvance(text);
    QImage cell(glyph.advance + 2 * kPad, height, QImage::Format_RGB32);
    cell.fill(Qt::black);
    QPainter painter(&cell);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(kPad, ascent_, text);
    painter.end();
    for (int y = 0; y < cell.height(); ++y)
      for (int x = 0; x < cell.width(); ++x)
        if (qGreen(cell.pixel(x, y)) > 127)
          glyph.pixels.emplace_back(static_cast<int16_t>(x - kPad), static_cast<int16_t>(y));
  }
}

int GlyphAtlas::width(std::string_view text) const {
  int total = 0;
  for (unsigned char c : text) total += glyphs_[c].advance;
  return total;
}

void GlyphAtlas::draw(PixelPen& pen, int x, int y, std::string_view text) const {
  for (unsigned char c : text) {
    const Glyph& glyph = glyphs_[c];
    for (const auto& [dx, dy] : glyph.pixels) pen.setPixel(x + dx, y + dy);
    x += glyph.advance;
  }
}

}  // namespace tolvane
