#pragma once
// PaintBox1: shows the renderer's composed paint box and passes mouse
// presses on to the window.
#include <QWidget>
#include <functional>
#include <vector>

#include "display/residual_curve.h"

namespace tolvane {

class PlotRenderer;

class PlotWidget final : public QWidget {
 public:
  PlotWidget(PlotRenderer& renderer, QWidget* parent);
  // Called with the button and the x, y of a press inside the paint box.
  std::function<void(Qt::MouseButton, int, int)> onMousePress;
  // The fit's residual curve drawn over the plot (none when empty).
  void setResidual(std::vector<std::vector<CurvePoint>> segments);
  // The SNIP background drawn over the plot in yellow (none when empty).
  void setBackground(std::vector<CurvePoint> curve);
  const std::vector<CurvePoint>& background() const { return background_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  PlotRenderer& renderer_;
  std::vector<std::vector<CurvePoint>> residual_;
  std::vector<CurvePoint> background_;
};

}  // namespace tolvane
