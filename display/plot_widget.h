#pragma once
// PaintBox1: shows the renderer's composed paint box and passes mouse
// presses on to the window.
#include <QWidget>
#include <functional>

namespace tolvane {

class PlotRenderer;

class PlotWidget final : public QWidget {
 public:
  PlotWidget(PlotRenderer& renderer, QWidget* parent);
  // Called with the button and the x, y of a press inside the paint box.
  std::function<void(Qt::MouseButton, int, int)> onMousePress;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  PlotRenderer& renderer_;
};

}  // namespace tolvane
