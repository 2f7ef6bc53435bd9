#include "display/plot_renderer.h"

#include <QFontDatabase>
#include <algorithm>
#include <cstring>

#include "display/line_marker_renderer.h"
#include "display/pixel_pen_renderer.h"
#include "display/plot_model.h"

namespace tolvane {

namespace {

constexpr QRgb kBlackRgb = 0xFF000000;
constexpr uint32_t kOlive = 0x008080, kNavy = 0x800000, kMaroon = 0x000080;

QImage picture(int w, int h, QRgb fill) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(fill);
  return image;
}

// Copies pixels between pictures of the same size without sharing them, so
// the target stays writable through raw pointers.
void copyPixels(const QImage& from, QImage& to) {
  std::memcpy(to.bits(), from.constBits(), static_cast<size_t>(from.sizeInBytes()));
}

void drawText(PixelPen& pen, const GlyphAtlas& glyphs, const PlotText& t) {
  const int x = t.rightAligned ? t.x - glyphs.width(t.text) : t.x;
  pen.setColour(toQRgb(t.colour));
  if (t.keepClearOf.empty()) {
    glyphs.draw(pen, x, t.y, t.text);
    return;
  }
  // Up to the first character of the other text, leading blanks not counted.
  const std::string_view other = t.keepClearOf;
  const size_t firstMark = std::min(other.find_first_not_of(' '), other.size());
  const int otherLeft = t.clearRight - glyphs.width(other.substr(firstMark));
  glyphs.draw(pen, x, t.y, t.text, otherLeft - glyphs.width(" "));
}

// One trace or overlay, drawn column by column from its envelope.
enum class Stroke { Step, Bar, Joined };

void drawEnvelope(PixelPen& pen, const TraceEnvelope& e, int32_t width, Stroke wide, Stroke narrow, bool wideStyle) {
  pen.moveTo(0, e.bottom[0]);
  const Stroke stroke = wideStyle ? wide : narrow;
  for (int32_t x = 0; x < width; ++x) {
    const auto i = static_cast<size_t>(x);
    pen.lineTo(x, e.bottom[i]);
    switch (stroke) {
      case Stroke::Bar:
        pen.moveTo(x, e.bottom[i]);
        pen.lineTo(x, e.top[i]);
        break;
      case Stroke::Joined:
        pen.lineTo(x, e.top[i]);
        break;
      case Stroke::Step:
        pen.lineTo(x + 1, e.top[i]);
        break;
    }
  }
}

void drawTopLine(PixelPen& pen, const TraceEnvelope& e, int32_t width) {
  pen.moveTo(0, e.top[0]);
  for (int32_t x = 0; x < width; ++x) pen.lineTo(x, e.top[static_cast<size_t>(x)]);
}

}  // namespace

QFont PlotRenderer::plotFont() {
  // MS PGothic where it is installed; otherwise IPA PGothic, close in
  // metrics; DejaVu Sans as the last resort.
  QString family = "DejaVu Sans";
  for (const char* candidate : {"MS PGothic", "IPAPGothic", "IPA PGothic"})
    if (QFontDatabase::hasFamily(candidate)) {
      family = candidate;
      break;
    }
  QFont font(family);
  font.setPixelSize(12);
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

PlotRenderer::PlotRenderer(QColor buttonFace) : glyphs_(plotFont()), plotFont_(plotFont()) {
  const QRgb face = buttonFace.rgb();
  PlotImage = picture(kPlotWidth, kPlotHeight, kBlackRgb);
  PlotBackground = picture(kPlotWidth, kPlotHeight, kBlackRgb);
  BlankPlot = picture(kPlotWidth, kPlotHeight, kBlackRgb);
  ScaleStrip = picture(kScaleStripWidth, kScaleStripHeight, face);
  ScaleStripTemplate = picture(kScaleStripWidth, kScaleStripHeight, face);
  ChannelAxisStrip = picture(kAxisStripWidth, kAxisStripHeight, face);
  ChannelAxisTemplate = picture(kAxisStripWidth, kAxisStripHeight, face);
  for (QImage* strip : {&ChannelAxisStrip, &ChannelAxisTemplate}) {
    PixelPen pen(*strip);
    pen.setColour(kBlackRgb);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < kAxisStripWidth; ++x) pen.setPixel(x, y);
  }
  paintBox_ = picture(kPaintBoxWidth, kPaintBoxHeight, face);
}

void PlotRenderer::setPlotBackground(uint32_t colour) {
  if (BlankPlot.isNull()) return;
  BlankPlot.fill(toQRgb(colour));
  for (QImage* strip : {&ChannelAxisStrip, &ChannelAxisTemplate}) {
    PixelPen pen(*strip);
    pen.setColour(toQRgb(colour));
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < strip->width(); ++x) pen.setPixel(x, y);
  }
}

void PlotRenderer::releaseImages() {
  for (QImage* image : {&PlotImage, &PlotBackground, &BlankPlot, &ScaleStrip, &ScaleStripTemplate, &ChannelAxisStrip,
                        &ChannelAxisTemplate})
    *image = QImage();
}

namespace {

// Copies `from` into `to` with its top left at (left, top), clipped to `to`.
void place(const QImage& from, QImage& to, int left, int top) {
  const int width = std::min(from.width(), to.width() - left);
  const int rows = std::min(from.height(), to.height() - top);
  for (int y = 0; y < rows; ++y)
    std::memcpy(to.scanLine(top + y) + 4 * left, from.constScanLine(y), 4 * static_cast<size_t>(width));
}

}  // namespace

void PlotRenderer::show() {
  if (PlotImage.isNull()) return;  // released
  place(ScaleStrip, paintBox_, 0, 0);
  place(PlotImage, paintBox_, kPlotLeft, kPlotTop);
  place(ChannelAxisStrip, paintBox_, kAxisLeft, kAxisTop);
  if (onShown) onShown();
}

void PlotRenderer::drawChannelAxis(const PlotModel& plot) {
  if (ChannelAxisStrip.isNull()) return;
  copyPixels(ChannelAxisTemplate, ChannelAxisStrip);
  PixelPen pen(ChannelAxisStrip);
  pen.setColour(kBlackRgb);
  for (const AxisTick& tick : plot.AxisTicks) {
    pen.moveTo(tick.x, 0);
    pen.lineTo(tick.x, tick.length);
  }
  show();
}

void PlotRenderer::drawScaleFrame(const PlotModel& plot, bool full) {
  if (PlotImage.isNull()) return;
  const ScaleFrame& f = plot.Frame;
  copyPixels(ScaleStripTemplate, ScaleStrip);
  {
    PixelPen pen(ScaleStrip);
    pen.setColour(kBlackRgb);
    for (const StripLine& line : f.stripLines) {
      pen.moveTo(line.x0, line.row);
      pen.lineTo(line.x1, line.row);
    }
    for (const PlotText& label : f.stripLabels) drawText(pen, glyphs_, label);
  }
  if (full) {
    copyPixels(BlankPlot, PlotBackground);
    PixelPen grid(PlotBackground);
    grid.setColour(toQRgb(kMaroon));
    for (int32_t row : f.gridRows) {
      grid.moveTo(0, row);
      grid.lineTo(PlotBackground.width(), row);
    }
    for (const PlotText& caption : f.captions) drawText(grid, glyphs_, caption);
    copyPixels(PlotBackground, PlotImage);
    PixelPen preview(PlotImage);
    preview.setColour(toQRgb(f.previewColour));
    for (const PreviewPixel& p : f.preview) preview.setPixel(p.x, p.y);
  }
  show();
}

void PlotRenderer::drawMappingPreview(const PlotModel& plot) {
  if (PlotImage.isNull()) return;
  const MappingPreview& preview = plot.Preview;
  const int32_t bottom = PlotImage.height() - 1;
  const int32_t width = std::min<int32_t>(PlotImage.width(), static_cast<int32_t>(preview.rows.size()));
  copyPixels(PlotBackground, PlotImage);
  PixelPen pen(PlotImage);
  for (const PlotText& text : preview.texts) drawText(pen, glyphs_, text);
  for (const RoiMark& mark : preview.marks) {
    pen.setColour(toQRgb(mark.colour));
    for (int32_t x = mark.xs; x < mark.xe; ++x) {
      pen.moveTo(x, bottom);
      pen.lineTo(x, preview.rows[static_cast<size_t>(x)]);
    }
    drawText(pen, glyphs_, mark.shortLabel);
  }
  pen.setColour(toQRgb(kLime));
  pen.moveTo(0, bottom);
  for (int32_t x = 0; x < width; ++x) {
    pen.lineTo(x, preview.rows[static_cast<size_t>(x)]);
    pen.lineTo(x + 1, preview.rows[static_cast<size_t>(x)]);
  }
  if (preview.cursor.shown) {
    pen.setColour(toQRgb(kRed));
    pen.moveTo(preview.cursor.x, preview.cursor.fromRow);
    pen.lineTo(preview.cursor.x, preview.cursor.toRow);
  }
  show();
}

void PlotRenderer::paint(const PlotModel& plot) {
  if (PlotImage.isNull()) return;
  const int32_t width = std::min(PlotImage.width(), kEnvelopeColumns);
  const int32_t bottom = PlotImage.height() - 1;

  copyPixels(PlotBackground, PlotImage);
  PixelPen pen(PlotImage);
  for (const PlotText& text : plot.Readouts) drawText(pen, glyphs_, text);

  for (const RoiMark& roi : plot.Rois) {
    drawText(pen, glyphs_, roi.label);
    drawText(pen, glyphs_, roi.gross);
    drawText(pen, glyphs_, roi.net);
    if (!roi.shaded) continue;
    pen.setColour(toQRgb(roi.colour));
    for (int32_t x = roi.xs; x < roi.xe; ++x) {
      pen.moveTo(x, bottom);
      pen.lineTo(x, plot.Live.top[static_cast<size_t>(x)]);
    }
    drawText(pen, glyphs_, roi.shortLabel);
  }

  const int32_t s = plot.Mapping.s;
  pen.setColour(toQRgb(plot.TraceColour));
  drawEnvelope(pen, plot.Live, width, Stroke::Bar, Stroke::Step, s > 1);
  const struct {
    bool shown;
    const TraceEnvelope& envelope;
    uint32_t colour;
    Stroke wide;
  } overlays[] = {{plot.SnapshotShown, plot.Snapshot, kAqua, Stroke::Bar},
                  {plot.Mem1Shown, plot.Mem1, kRed, Stroke::Joined},
                  {plot.Mem2Shown, plot.Mem2, kOlive, Stroke::Joined},
                  {plot.Mem3Shown, plot.Mem3, kNavy, Stroke::Joined}};
  for (const auto& overlay : overlays) {
    if (!overlay.shown) continue;
    pen.setColour(toQRgb(overlay.colour));
    drawEnvelope(pen, overlay.envelope, width, overlay.wide, Stroke::Step, s > 0);
  }
  if (plot.FitOverlayShown) {
    const struct {
      const TraceEnvelope& envelope;
      uint32_t colour;
    } curves[] = {{plot.Mem1, kRed}, {plot.Mem2, kOlive}, {plot.Mem3, kNavy}, {plot.Snapshot, kAqua}};
    for (const auto& curve : curves) {
      pen.setColour(toQRgb(curve.colour));
      drawTopLine(pen, curve.envelope, width);
    }
  }
  drawLineMarkers(PlotImage, plot.LineMarkers, plotFont_);
  if (plot.Cursor.shown) {
    pen.setColour(toQRgb(kRed));
    pen.moveTo(plot.Cursor.x, plot.Cursor.fromRow);
    pen.lineTo(plot.Cursor.x, plot.Cursor.toRow);
  }
  show();
}

}  // namespace tolvane
