#pragma once
// Text for the plot, drawn from glyphs rendered once. Every plot text is
// single-byte (Latin-1) and drawn with a clear background in one colour, so
// each character's pixels are kept as a list of offsets and a text is drawn
// by setting them: no shaping or glyph lookup on each paint, which keeps the
// 100 ms tick's paint cheap. Glyphs are rendered by Qt without
// antialiasing, so the pixels are the ones QPainter would set for each
// character; texts advance by whole-pixel character widths.
#include <QFont>
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "display/pixel_pen_renderer.h"

namespace tolvane {

class GlyphAtlas {
 public:
  explicit GlyphAtlas(const QFont& font);

  int ascent() const { return ascent_; }
  int width(std::string_view text) const;
  // Draws `text` with its top left at (x, y).
  void draw(PixelPen& pen, int x, int y, std::string_view text) const;

 private:
  struct Glyph {
    int advance = 0;
    std::vector<std::pair<int16_t, int16_t>> pixels;  // offsets from the text's top left
  };
  std::array<Glyph, 256> glyphs_;
  int ascent_ = 0;
};

}  // namespace tolvane
