// "Lines..." and "Undo" on the calibration page of the real window: the
// dialog calibrates the working spectrum from a list of lines, shows the
// residual table with a wrong line marked, and Undo puts back the
// calibration before, in the window's cursor readout too.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include "analysis/energy_calibration.h"
#include "app/calibration_lines_dialog.h"
#include "app/main_window.h"
#include "device/clock.h"
#include "device/sim/sim_ftdi.h"
#include "lines/synthetic_spectrum.h"

namespace tolvane {
namespace {

struct Rig {
  Rig() {
    window = std::make_unique<TForm1>(bridge, clock);
    test::SyntheticSpectrum synthetic(4096, {0.01, -0.02});
    for (const int z : {22, 25, 29, 40}) synthetic.addElement(z, 30000.0, 30.0);
    synthetic.addContinuum(20.0);
    const std::vector<int32_t> counts = synthetic.draw(11);
    Session& s = window->session();
    s.Acquisition.ChannelCount = 4096;
    std::copy(counts.begin(), counts.end(), s.Working.Counts.begin());
    // A two-point calibration 0.8 % and 30 eV off.
    storeCalibration(s.Calibration, computeCalibration(100, 1000, 1.018, 10.09), "keV");
    s.Display.Cursor = 600;
    window->refresh();
  }
  ManualClock clock;
  SimFtdi bridge{clock};
  std::unique_ptr<TForm1> window;
};

// Runs `steps` on the dialog once it is shown, then closes it.
void onDialog(const std::function<void(CalibrationLinesDialog&)>& steps) {
  QTimer::singleShot(0, [steps] {
    auto* dialog = dynamic_cast<CalibrationLinesDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    steps(*dialog);
    dialog->reject();
  });
}

TEST(CalibrationLinesWindow, CalibratesFromTheListShowsTheResidualsAndUndoes) {
  Rig r;
  TForm1& w = *r.window;
  const EnergyCalibration before = w.session().Calibration;
  EXPECT_FALSE(w.CalibLines->isHidden());
  std::vector<QString> lines, flags;
  onDialog([&](CalibrationLinesDialog& d) {
    EXPECT_FALSE(d.undoButton()->isEnabled());
    d.linesEdit()->setText("Ti Ka, Mn Ka, Cr Kb, Cu Ka, Zr Ka, Ti Kb");
    d.calibrateButton()->click();
    for (int row = 0; row < d.table()->rowCount(); ++row) {
      lines.push_back(d.table()->item(row, 0)->text());
      flags.push_back(d.table()->item(row, 5)->text());
    }
    EXPECT_TRUE(d.summary()->text().startsWith("Calib: 6 lines, RMS")) << d.summary()->text().toStdString();
    EXPECT_TRUE(d.undoButton()->isEnabled());
  });
  w.CalibLines->click();
  ASSERT_EQ(lines.size(), 6u);
  for (size_t i = 0; i < lines.size(); ++i)
    EXPECT_EQ(flags[i], lines[i] == "Cr Kβ" ? "does not fit" : "") << lines[i].toStdString();
  EXPECT_NE(w.session().Calibration.Gain, before.Gain);

  // Without the wrong line the cursor at channel 600 reads its true 5.98 keV.
  onDialog([&](CalibrationLinesDialog& d) {
    EXPECT_EQ(d.linesEdit()->text(), "Ti Ka, Mn Ka, Cr Kb, Cu Ka, Zr Ka, Ti Kb");  // kept from the last time
    d.linesEdit()->setText("Ti Ka, Mn Ka, Cu Ka, Zr Ka, Ti Kb");
    d.quadraticBox()->setChecked(true);
    d.calibrateButton()->click();
  });
  w.CalibLines->click();
  EXPECT_EQ(w.Label8->text().trimmed(), "5.98");
  EXPECT_NE(w.session().Calibration.Quadratic, 0.0f);

  // Undo on the page: back one calibration, then to the two-point one.
  w.CalibUndo->click();
  w.CalibUndo->click();
  EXPECT_EQ(w.session().Calibration.Gain, before.Gain);
  EXPECT_EQ(w.session().Calibration.Offset, before.Offset);
  EXPECT_EQ(w.session().Calibration.Quadratic, 0.0f);
  EXPECT_EQ(w.Label8->text(), QString::asprintf("%8.2f", 600 * before.Gain + before.Offset));
  w.CalibUndo->click();
  EXPECT_EQ(w.Edit1->text().toStdString(), "Calib: nothing to undo");
}

}  // namespace
}  // namespace tolvane
