// The real window on the offscreen platform: File > Import of the formats
// other programs write.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>

#include "app/main_window.h"
#include "device/clock.h"
#include "device/sim/sim_ftdi.h"
#include "test_support.h"

namespace tolvane {
namespace {

struct Window {
  Window() {
    bridge.attach();
    window = std::make_unique<TForm1>(bridge, clock);
  }
  ManualClock clock;
  SimFtdi bridge{clock};
  std::unique_ptr<TForm1> window;
};

std::string importSample(const std::string& name) {
  return std::string(TOLVANE_SOURCE_DIR) + "/tests/files/imports/" + name;
}

TEST(WindowImport, ReadsEachFormatAndRefusesAMalformedFileNamingItsLine) {
  Window r;
  TForm1& w = *r.window;
  QString path = QString::fromStdString(importSample("pmca_minimal.mca"));
  w.chooseImportPath = [&] { return path; };
  w.Import1->trigger();
  EXPECT_EQ(w.Edit1->text(), "Padded 32 -> 512 ch");
  EXPECT_EQ(w.session().Working.Counts[7], 210);
  EXPECT_EQ(w.session().Working.Name, "pmca_minimal.mca");
  EXPECT_TRUE(w.session().Calibration.Valid);
  EXPECT_FLOAT_EQ(w.session().Calibration.Gain, 0.05f);

  path = QString::fromStdString(importSample("spec_pymca.spec"));
  w.Import1->trigger();
  EXPECT_EQ(w.session().Working.Name, "spec_pymca.spec");
  EXPECT_EQ(w.session().Acquisition.LiveTime, 987);

  testing::TempDir dir;
  const std::string bad = dir.path("bad.txt");
  const std::string text = "channel,counts\n0,5\n1,five\n";
  testing::writeFileBytes(bad, std::vector<uint8_t>(text.begin(), text.end()));
  path = QString::fromStdString(bad);
  w.Import1->trigger();
  EXPECT_EQ(w.Edit1->text(), "Text line 3: text in data");
  EXPECT_EQ(w.session().Working.Name, "spec_pymca.spec");  // the spectrum shown stays
}

}  // namespace
}  // namespace tolvane

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>

#include "display/plot_geometry.h"
#include "display/plot_widget.h"
#include "handlers/background_handlers.h"

namespace tolvane {
namespace {

// A memory of the same count rate counted for `liveTenths`.
void fillMemory(TForm1& w, int memory, int32_t liveTenths) {
  SpectrumRecord& m = w.session().Memories[static_cast<size_t>(memory - 1)];
  m.Header.setChannelCount(1024);
  m.Header.setCalibrationMarker(1.0f);
  m.Header.setLiveTime(liveTenths);
  m.Header.setRealTime(liveTenths);
  for (int c = 0; c < 1024; ++c)
    m.Counts[static_cast<size_t>(c)] = static_cast<int32_t>(liveTenths / 10 * (20 + (c % 200 == 100 ? 500 : c % 7)));
  m.setName("mem" + std::to_string(memory) + ".dat");
}

TEST(WindowOverlays, NormalisedByLiveTimeA60sAnd600sMemoryDrawTheSame) {
  Window r;
  TForm1& w = *r.window;
  fillMemory(w, 1, 600);
  fillMemory(w, 2, 6000);
  w.PageControl1->setCurrentIndex(w.PageControl1->count() - 1);
  // Unnormalised: the 600 s memory stands higher.
  w.Mem1Spec->click();
  w.OverLapON->click();
  w.Mem2Spec->click();
  w.OverLapON->click();
  const PlotModel& plot = w.session().Plot;
  ASSERT_TRUE(w.session().Display.Mem1Shown && w.session().Display.Mem2Shown);
  EXPECT_NE(plot.Mem1.top, plot.Mem2.top);
  w.OverLapON->click();
  w.Mem1Spec->click();
  w.OverLapON->click();

  w.NormaliseLT->click();
  EXPECT_TRUE(w.session().Display.NormaliseOverlays);
  w.OverLapON->click();
  w.Mem2Spec->click();
  w.OverLapON->click();
  EXPECT_EQ(plot.Mem1.top, plot.Mem2.top);
  EXPECT_EQ(plot.Mem1.bottom, plot.Mem2.bottom);
  // Both at the 100 s reference (no MCA run yet): the 600 s memory is drawn
  // lower than its own trace.
  EXPECT_NE(plot.Mem2.top, plot.Live.top);
}

TEST(WindowBackground, SnipDrawnOnRequestAndTheRoiNetOverIt) {
  Window r;
  TForm1& w = *r.window;
  fillMemory(w, 1, 600);
  w.Mem1Spec->click();
  EXPECT_TRUE(w.PaintBox1->background().empty());
  w.SnipShown->click();
  const std::vector<CurvePoint> curve = w.PaintBox1->background();
  ASSERT_FALSE(curve.empty());
  // The background lies on or below the trace (a larger row is lower).
  for (const CurvePoint& p : curve)
    EXPECT_GE(p.y - kPlotTop, w.session().Plot.Live.top[static_cast<size_t>(p.x - kPlotLeft)]) << p.x;

  w.SnipWidthEdit->setText("abc");
  emit w.SnipWidthEdit->textEdited("abc");
  EXPECT_EQ(w.Edit1->text(), kSnipWidthErrorText);
  emit w.SnipWidthEdit->textEdited("40");
  EXPECT_EQ(w.session().Display.SnipWidth, 40);
  EXPECT_EQ(w.SnipWidthEdit->placeholderText(), "40");
}

}  // namespace
}  // namespace tolvane
