#pragma once
// Draws the plot model into the seven off-screen pictures and composes
// them into the paint box's picture (528 x 336): PlotImage at (16, 5),
// ScaleStrip at (0, 0), ChannelAxisStrip at (16, 317). Texts go through
// the window font's glyphs (GlyphAtlas); lines, ticks and pixels through
// PixelPen.
#include <QColor>
#include <QFont>
#include <QImage>
#include <functional>

#include "display/glyph_atlas_renderer.h"
#include "display/plot_painter.h"

namespace tolvane {

class PlotRenderer final : public PlotPainter {
 public:
  // `buttonFace` fills the strips outside the plot.
  explicit PlotRenderer(QColor buttonFace);

  void paint(const PlotModel& plot) override;
  void drawScaleFrame(const PlotModel& plot, bool full) override;
  void drawChannelAxis(const PlotModel& plot) override;
  void drawMappingPreview(const PlotModel& plot) override;
  void setPlotBackground(uint32_t colour) override;

  // The composed paint box, as last shown.
  const QImage& paintBox() const { return paintBox_; }
  // Called after every show, so a widget can repaint itself.
  std::function<void()> onShown;
  // Frees the pictures (the exit command's last step).
  void releaseImages();

  // The window font: MS PGothic 12 px, with metric-close substitutes.
  static QFont plotFont();

  QImage PlotImage, PlotBackground, BlankPlot;
  QImage ScaleStrip, ScaleStripTemplate;
  QImage ChannelAxisStrip, ChannelAxisTemplate;

 private:
  void show();

  GlyphAtlas glyphs_;
  QFont plotFont_;  // for the line markers' labels
  QImage paintBox_;
};

}  // namespace tolvane
