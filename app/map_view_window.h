#pragma once
// The map view: one tile per ROI map, filling pixel by pixel while a
// mapped scan runs, each on a perceptual colour scale with a bar labelled
// in counts; the mouse over a tile shows the pixel, its net sum and the
// sum's Poisson sigma. It keeps its own copy of the maps, taken when they
// are shown, so the mouse never reads maps a scan is writing.
#include <QWidget>
#include <vector>

#include "roi/roi_maps.h"

class QGridLayout;
class QLabel;

namespace tolvane {

class MapViewWindow final : public QWidget {
 public:
  explicit MapViewWindow(QWidget* parent = nullptr);

  void showMaps(const RoiMaps& maps, const QString& title);

  size_t tileCount() const { return tiles_.size(); }
  // Tile i as shown: `cell()` screen pixels per map pixel.
  QImage tileImage(size_t i) const;
  int cell() const { return cell_; }
  // The text for the mouse at map pixel (x, y) of tile i.
  QString hoverText(size_t i, int x, int y) const;

  QLabel* Hover;  // the pixel under the mouse

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  RoiMaps maps_;
  int cell_ = 1;
  QGridLayout* grid_;
  std::vector<QLabel*> tiles_;
  std::vector<QWidget*> owned_;  // every widget of the tiles, replaced on each show
};

}  // namespace tolvane
