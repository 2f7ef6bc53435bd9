#include "display/plot_widget.h"

#include <QMouseEvent>
#include <QPainter>

#include "display/plot_geometry.h"
#include "display/plot_renderer.h"

namespace tolvane {

PlotWidget::PlotWidget(PlotRenderer& renderer, QWidget* parent) : QWidget(parent), renderer_(renderer) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  renderer_.onShown = [this] { update(); };
}

void PlotWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, renderer_.paintBox());
  if (!background_.empty()) {
    painter.setPen(QPen(QColor(255, 255, 0), 1));
    QPolygon line;
    for (const CurvePoint& p : background_) line << QPoint(p.x, p.y);
    painter.drawPolyline(line);
  }
  if (residual_.empty()) return;
  // Zero and the residual in fuchsia, the flags' 5-sigma limits dotted.
  const QColor fuchsia(255, 0, 255);
  painter.setPen(QPen(fuchsia, 1, Qt::DotLine));
  for (const int row : {kPlotHeight / 4, kPlotHeight / 2, 3 * kPlotHeight / 4})
    painter.drawLine(kPlotLeft, kPlotTop + row, kPlotLeft + kPlotWidth - 1, kPlotTop + row);
  painter.setPen(QPen(fuchsia, 1));
  for (const auto& segment : residual_) {
    QPolygon line;
    for (const CurvePoint& p : segment) line << QPoint(p.x, p.y);
    if (line.size() == 1) painter.drawPoint(line.front());
    painter.drawPolyline(line);
  }
}

void PlotWidget::setResidual(std::vector<std::vector<CurvePoint>> segments) {
  if (segments.empty() && residual_.empty()) return;
  residual_ = std::move(segments);
  update();
}

void PlotWidget::setBackground(std::vector<CurvePoint> curve) {
  if (curve.empty() && background_.empty()) return;
  background_ = std::move(curve);
  update();
}

void PlotWidget::mousePressEvent(QMouseEvent* event) {
  if (onMousePress) onMousePress(event->button(), event->position().toPoint().x(), event->position().toPoint().y());
}

}  // namespace tolvane
