// The map view: tiles coloured on the scale between each map's smallest
// and largest net sum, greys where no value, the mouse's pixel text, and
// File > Open Map... in the real window.
#include "app/map_view_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <cmath>

#include "app/main_window.h"
#include "device/clock.h"
#include "device/sim/sim_ftdi.h"
#include "files/map_file.h"
#include "roi/roi_net.h"
#include "test_support.h"

namespace tolvane {
namespace {

// A 4 x 3 map of one ROI (channels 2..4) where pixel p holds p counts in
// each ROI channel; pixel 3 is blank (nothing in the reference channel 7)
// and pixels 10 and 11 were never scanned.
RoiMaps smallMaps() {
  RoiMaps maps(4, 3, {{1, "Ca", 2, 4}}, MapRoi{0, "", 7, 8});
  for (int p = 0; p < 10; ++p) {
    std::vector<int32_t> counts(8, 0);
    counts[2] = counts[3] = p;
    counts[7] = p == 3 ? 0 : 1;
    maps.addPixel(p, counts.data(), 8);
  }
  return maps;
}

QRgb at(const QImage& tile, int cell, int x, int y) { return tile.pixel(x * cell + cell / 2, y * cell + cell / 2) & 0xFFFFFF; }

TEST(MapView, TilesSpanTheMapsRangeAndShowMissingPixelsInGrey) {
  MapViewWindow view;
  view.showMaps(smallMaps(), "test");
  ASSERT_EQ(view.tileCount(), 1u);
  const QImage tile = view.tileImage(0);
  const int cell = view.cell();
  EXPECT_EQ(tile.size(), QSize(4 * cell, 3 * cell));
  EXPECT_EQ(at(tile, cell, 0, 0), 0x440154u);  // the smallest net sum, 0
  EXPECT_EQ(at(tile, cell, 1, 2), 0xFDE725u);  // the largest, pixel 9
  EXPECT_EQ(at(tile, cell, 3, 0), 0x404040u);  // blank
  EXPECT_EQ(at(tile, cell, 3, 2), 0x808080u);  // not scanned
}

TEST(MapView, TheMouseShowsThePixelItsNetSumAndSigma) {
  MapViewWindow view;
  const RoiMaps maps = smallMaps();
  view.showMaps(maps, "test");
  view.show();
  QLabel* tile = view.findChild<QLabel*>("MapTile0");
  ASSERT_NE(tile, nullptr);
  const int cell = view.cell();
  const QPointF where(1 * cell + cell / 2, 2 * cell + cell / 2);  // pixel (1, 2) = 9
  QMouseEvent move(QEvent::MouseMove, where, tile->mapToGlobal(where), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(tile, &move);
  const float net = maps.maps()[0].net[9];
  const double sigma = std::sqrt(static_cast<double>(maps.maps()[0].variance[9]));
  EXPECT_EQ(view.Hover->text(), QString::asprintf("(1, 2)  Ca %.0f ± %.1f counts", static_cast<double>(net), sigma));
  EXPECT_GT(sigma, 0.0);
  EXPECT_EQ(view.hoverText(0, 3, 0), "(3, 0) blank");
  EXPECT_EQ(view.hoverText(0, 2, 2), "(2, 2) not scanned");
  EXPECT_EQ(view.hoverText(0, 4, 0), "");
}

TEST(MapView, FileOpenMapShowsTheFilesRoiMapsOrSaysWhyNot) {
  testing::TempDir dir;
  MapFileSetup setup;
  setup.width = 3;
  setup.height = 2;
  setup.channels = 8;
  setup.rois = {{1, "Ti", 2, 4}, {2, "V", 5, 7}};
  std::string error;
  {
    auto w = MapFileWriter::create(dir.path("m.nxs"), setup, error);
    ASSERT_TRUE(w) << error;
    const std::vector<uint32_t> counts = {0, 0, 5, 5, 0, 1, 1, 0};
    ASSERT_TRUE(w->appendPass({0, counts.data(), 0.1, 0.1, ""}, error));
  }
  ManualClock clock;
  SimFtdi bridge{clock};
  bridge.attach();
  TForm1 window(bridge, clock);
  QString path = QString::fromStdString(dir.path("m.nxs"));
  window.chooseMapPath = [&] { return path; };
  window.OpenMap1->trigger();
  ASSERT_NE(window.MapView, nullptr);
  EXPECT_EQ(window.MapView->tileCount(), 2u);
  EXPECT_EQ(window.MapView->windowTitle(), "m.nxs");
  const std::vector<int32_t> pass = {0, 0, 5, 5, 0, 1, 1, 0};
  const RoiNetSums ti = roiNetSums(pass.data(), 8, 2, 4);
  EXPECT_EQ(window.MapView->hoverText(0, 0, 0),
            QString::asprintf("(0, 0)  Ti %.0f ± %.1f counts", static_cast<double>(ti.net), std::sqrt(ti.variance)));
  EXPECT_EQ(window.MapView->hoverText(1, 1, 0), "(1, 0) not scanned");

  testing::writeFileBytes(dir.path("bad.nxs"), {'x'});
  path = QString::fromStdString(dir.path("bad.nxs"));
  window.OpenMap1->trigger();
  EXPECT_TRUE(window.Edit1->toolTip().contains("not an HDF5 file") || window.Edit1->text().contains("not an HDF5"))
      << window.Edit1->text().toStdString();
}

}  // namespace
}  // namespace tolvane
