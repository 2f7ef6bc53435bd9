#include "display/glyph_atlas_renderer.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QStringDecoder>
#include <algorithm>

namespace tolvane {

GlyphAtlas::GlyphAtlas(const QFont& font) : font_(font) {
  ascent_ = QFontMetrics(font).ascent();
  for (int code = 32; code < 256; ++code) {
    if (code >= 127 && code < 160) continue;  // control characters draw nothing
    glyphs_[static_cast<size_t>(code)] = makeGlyph(static_cast<char32_t>(code));
  }
}

GlyphAtlas::Glyph GlyphAtlas::makeGlyph(char32_t code) const {
  const QFontMetrics metrics(font_);
  const int height = metrics.height() + 4;
  constexpr int kPad = 8;  // room for glyphs that reach left of their origin
  const QString text = QString::fromUcs4(&code, 1);
  Glyph glyph;
  glyph.advance = metrics.horizontalAdvance(text);
  QImage cell(glyph.advance + 2 * kPad, height, QImage::Format_RGB32);
  cell.fill(Qt::black);
  QPainter painter(&cell);
  painter.setFont(font_);
  painter.setPen(Qt::white);
  painter.drawText(kPad, ascent_, text);
  painter.end();
  for (int y = 0; y < cell.height(); ++y)
    for (int x = 0; x < cell.width(); ++x)
      if (qGreen(cell.pixel(x, y)) > 127)
        glyph.pixels.emplace_back(static_cast<int16_t>(x - kPad), static_cast<int16_t>(y));
  return glyph;
}

const GlyphAtlas::Glyph& GlyphAtlas::glyph(char32_t code) const {
  if (code < 256) return glyphs_[code];
  auto it = more_.find(code);
  if (it == more_.end()) it = more_.emplace(code, makeGlyph(code)).first;
  return it->second;
}

std::vector<char32_t> GlyphAtlas::characters(std::string_view text) const {
  std::vector<char32_t> out;
  QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
  const QString decoded = utf8.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
  if (utf8.hasError()) {
    for (const unsigned char c : text) out.push_back(c);
    return out;
  }
  for (const char32_t c : decoded.toUcs4()) out.push_back(c);
  return out;
}

namespace {

bool isAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0x80) == 0; });
}

}  // namespace

int GlyphAtlas::width(std::string_view text) const {
  int total = 0;
  if (isAscii(text)) {  // the paint's texts: no decoding on each tick
    for (const unsigned char c : text) total += glyphs_[c].advance;
    return total;
  }
  for (const char32_t c : characters(text)) total += glyph(c).advance;
  return total;
}

void GlyphAtlas::draw(PixelPen& pen, int x, int y, std::string_view text, int right) const {
  // A character that would reach past `right` ends the text.
  const auto drawOne = [&](const Glyph& g) {
    if (x + g.advance > right) {
      right = x;  // nothing after it either
      return;
    }
    for (const auto& [dx, dy] : g.pixels) pen.setPixel(x + dx, y + dy);
    x += g.advance;
  };
  if (isAscii(text)) {
    for (const unsigned char c : text) drawOne(glyphs_[c]);
    return;
  }
  for (const char32_t c : characters(text)) drawOne(glyph(c));
}

}  // namespace tolvane
