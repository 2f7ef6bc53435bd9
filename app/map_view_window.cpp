#include "app/map_view_window.h"

#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "roi/roi_map_view.h"
#include "xfit/kratio_map.h"

namespace tolvane {

namespace {

QImage tilePicture(const RoiMapTile& tile) {
  QImage image(tile.width, tile.height, QImage::Format_RGB32);
  for (int y = 0; y < tile.height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < tile.width; ++x)
      line[x] = 0xFF000000u | tile.rgb[static_cast<size_t>(y) * static_cast<size_t>(tile.width) + x];
  }
  return image;
}

QImage scaleBar(int width) {
  QImage bar(width, 10, QImage::Format_RGB32);
  for (int x = 0; x < width; ++x) {
    const QRgb c = 0xFF000000u | scaleColour(width > 1 ? static_cast<double>(x) / (width - 1) : 0.5);
    for (int y = 0; y < 10; ++y) reinterpret_cast<QRgb*>(bar.scanLine(y))[x] = c;
  }
  return bar;
}

}  // namespace

MapViewWindow::MapViewWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("MapView");
  setWindowTitle("Element Maps");
  auto* layout = new QVBoxLayout(this);
  grid_ = new QGridLayout();
  layout->addLayout(grid_);
  Hover = new QLabel(" ", this);
  Hover->setObjectName("MapHover");
  layout->addWidget(Hover);
}

void MapViewWindow::showMaps(const RoiMaps& maps, const QString& title) {
  maps_ = maps;
  setWindowTitle(title);
  for (QWidget* w : owned_) delete w;
  owned_.clear();
  tiles_.clear();
  cell_ = std::clamp(256 / std::max({maps.width(), maps.height(), 1}), 1, 16);
  const int columns = maps.maps().size() > 4 ? 4 : std::max<int>(static_cast<int>(maps.maps().size()), 1);
  for (size_t i = 0; i < maps.maps().size(); ++i) {
    const RoiMapTile tile = roiMapTile(maps, i);
    const RoiMap& map = maps.maps()[i];
    auto* box = new QWidget(this);
    auto* v = new QVBoxLayout(box);
    v->setContentsMargins(2, 2, 2, 2);
    auto* caption = new QLabel(QString("ROI #%1 %2").arg(map.roi.index).arg(QString::fromStdString(map.roi.label)), box);
    auto* picture = new QLabel(box);
    picture->setObjectName(QString("MapTile%1").arg(i));
    picture->setPixmap(QPixmap::fromImage(tilePicture(tile).scaled(tile.width * cell_, tile.height * cell_)));
    picture->setFixedSize(tile.width * cell_, tile.height * cell_);
    picture->setMouseTracking(true);
    picture->installEventFilter(this);
    auto* bar = new QLabel(box);
    bar->setPixmap(QPixmap::fromImage(scaleBar(tile.width * cell_)));
    auto* ends = new QLabel(QString::asprintf("%.0f … %.0f counts", tile.range.low, tile.range.high), box);
    for (QWidget* w : {static_cast<QWidget*>(caption), static_cast<QWidget*>(picture), static_cast<QWidget*>(bar),
                       static_cast<QWidget*>(ends)})
      v->addWidget(w);
    grid_->addWidget(box, static_cast<int>(i) / columns, static_cast<int>(i) % columns);
    owned_.push_back(box);
    tiles_.push_back(picture);
  }
}

QImage MapViewWindow::tileImage(size_t i) const { return tiles_.at(i)->pixmap().toImage(); }

QString MapViewWindow::hoverText(size_t i, int x, int y) const {
  return QString::fromStdString(roiMapHoverText(maps_, i, x, y));
}

bool MapViewWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove) {
    for (size_t i = 0; i < tiles_.size(); ++i)
      if (watched == tiles_[i]) {
        const QPoint p = static_cast<QMouseEvent*>(event)->position().toPoint();
        Hover->setText(hoverText(i, p.x() / cell_, p.y() / cell_));
      }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tolvane
