#include "display/plot_widget.h"

#include <QMouseEvent>
#include <QPainter>

#include "display/plot_renderer.h"

namespace tolvane {

PlotWidget::PlotWidget(PlotRenderer& renderer, QWidget* parent) : QWidget(parent), renderer_(renderer) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  renderer_.onShown = [this] { update(); };
}

void PlotWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, renderer_.paintBox());
}

void PlotWidget::mousePressEvent(QMouseEvent* event) {
  if (onMousePress) onMousePress(event->button(), event->position().toPoint().x(), event->position().toPoint().y());
}

}  // namespace tolvane
