#pragma once
// Text for the plot, drawn from glyphs rendered once. Plot texts are
// single-byte (Latin-1) but for file names, which may be UTF-8; each is
// drawn with a clear background in one colour, so
// each character's pixels are kept as a list of offsets and a text is drawn
// by setting them: no shaping or glyph lookup on each paint, which keeps the
// 100 ms tick's paint cheap. Glyphs are rendered by Qt without
// antialiasing, so the pixels are the ones QPainter would set for each
// character; texts advance by whole-pixel character widths.
#include <QFont>
#include <array>
#include <map>
#include <cstdint>
#include <limits>
#include <string_view>
#include <vector>

#include "display/pixel_pen_renderer.h"

namespace tolvane {

class GlyphAtlas {
 public:
  explicit GlyphAtlas(const QFont& font);

  int ascent() const { return ascent_; }
  // A text is read as UTF-8 when its bytes are valid UTF-8 (file names),
  // else one character per byte (the header's single-byte texts).
  int width(std::string_view text) const;
  // Draws `text` with its top left at (x, y); characters that would reach
  // past column `right` are left out.
  void draw(PixelPen& pen, int x, int y, std::string_view text, int right = std::numeric_limits<int>::max()) const;

 private:
  struct Glyph {
    int advance = 0;
    std::vector<std::pair<int16_t, int16_t>> pixels;  // offsets from the text's top left
  };
  Glyph makeGlyph(char32_t code) const;
  const Glyph& glyph(char32_t code) const;
  std::vector<char32_t> characters(std::string_view text) const;

  QFont font_;
  std::array<Glyph, 256> glyphs_;
  // Characters beyond the single-byte ones, made when first drawn.
  mutable std::map<char32_t, Glyph> more_;
  int ascent_ = 0;
};

}  // namespace tolvane
