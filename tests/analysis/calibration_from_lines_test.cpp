// "Calib from lines" on the working spectrum: the calibration put in force,
// its residual table, refusals that change nothing, and Undo.
#include "handlers/calibration_lines_handlers.h"

#include <gtest/gtest.h>

#include "analysis/energy_calibration.h"
#include "app/session.h"
#include "lines/synthetic_spectrum.h"
#include "test_support.h"

namespace tolvane {
namespace {

struct Rig {
  // Ti, Mn, Cu and Zr at 10 eV per channel from -20 eV; the calibration in
  // force is the two-point one of a user who is 30 eV and 0.8 % off.
  explicit Rig(bool inEv = false) {
    test::SyntheticSpectrum synthetic(4096, {0.01, -0.02});
    for (const int z : {22, 25, 29, 40}) synthetic.addElement(z, 30000.0, 30.0);
    synthetic.addContinuum(20.0);
    const std::vector<int32_t> counts = synthetic.draw(3);
    Session& s = session();
    s.Acquisition.ChannelCount = 4096;
    std::copy(counts.begin(), counts.end(), s.Working.Counts.begin());
    const double k = inEv ? 1000.0 : 1.0;
    storeCalibration(s.Calibration, computeCalibration(100, 1000, (0.01 * 1.008 * 100 + 0.01) * k,
                                                        (0.01 * 1.008 * 1000 + 0.01) * k),
                     inEv ? "eV" : "keV");
    before = s.Calibration;
  }
  Session& session() { return *rig.session; }
  testing::SimRig rig{0};
  EnergyCalibration before;
};

bool same(const EnergyCalibration& a, const EnergyCalibration& b) {
  return a.Valid == b.Valid && a.UnitText == b.UnitText && a.Gain == b.Gain && a.Offset == b.Offset &&
         a.Quadratic == b.Quadratic && a.RefLowChannel == b.RefLowChannel && a.RefHighEnergy == b.RefHighEnergy;
}

TEST(CalibrationFromLines, PutsTheFittedCalibrationInForceWithItsTableAndUndoesIt) {
  Rig r;
  Session& s = r.session();
  s.Display.Cursor = 600;
  ASSERT_TRUE(CalibFromLinesClick(s, "Ti Ka, Mn Ka, Cu Ka, Zr Ka, Cu Kb", false));
  EXPECT_NEAR(channelEnergy(s.Calibration, 600.0f), 5.98, 0.003);
  EXPECT_EQ(s.Calibration.Quadratic, 0.0f);
  EXPECT_EQ(std::string(s.Calibration.UnitText.data()), "keV");
  EXPECT_EQ(s.Texts.Label8, "    5.98");  // the cursor readout follows at once
  EXPECT_EQ(s.Texts.Edit1.rfind("Calib: 5 lines, RMS ", 0), 0u) << s.Texts.Edit1;

  ASSERT_TRUE(s.LinesCalibration.Last);
  const auto rows = calibrationTable(*s.LinesCalibration.Last);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[1][0], "Mn Kα");
  EXPECT_NEAR(std::stod(rows[1][1]), (5.8951 + 0.02) / 0.01, 0.5);  // the centroid, in channels
  EXPECT_LT(std::fabs(std::stod(rows[1][4])), 5.0);                 // residual in eV
  for (const auto& row : rows) EXPECT_EQ(row[5], "") << row[0];

  ASSERT_TRUE(CalibUndoClick(s));
  EXPECT_TRUE(same(s.Calibration, r.before));
  EXPECT_FALSE(CalibUndoClick(s));
  EXPECT_EQ(s.Texts.Edit1, kNothingToUndoText);
  EXPECT_TRUE(same(s.Calibration, r.before));
}

TEST(CalibrationFromLines, UndoStepsBackOneCalibrationAtATime) {
  Rig r;
  Session& s = r.session();
  ASSERT_TRUE(CalibFromLinesClick(s, "Ti Ka, Mn Ka, Cu Ka", false));
  const EnergyCalibration line = s.Calibration;
  ASSERT_TRUE(CalibFromLinesClick(s, "Ti Ka, Mn Ka, Cu Ka, Zr Ka", true));
  EXPECT_NE(s.Calibration.Quadratic, 0.0f);
  ASSERT_TRUE(CalibUndoClick(s));
  EXPECT_TRUE(same(s.Calibration, line));
  ASSERT_TRUE(CalibUndoClick(s));
  EXPECT_TRUE(same(s.Calibration, r.before));
}

TEST(CalibrationFromLines, AWrongLineIsMarkedInTheTable) {
  Rig r;
  Session& s = r.session();
  ASSERT_TRUE(CalibFromLinesClick(s, "Ti Ka, Cr Kb, Cu Ka, Zr Ka, Ti Kb", false));
  const auto rows = calibrationTable(*s.LinesCalibration.Last);
  for (const auto& row : rows) EXPECT_EQ(row[5], row[0] == "Cr Kβ" ? "does not fit" : "") << row[0];
  EXPECT_NE(s.Texts.Edit1.find("1 does not fit"), std::string::npos) << s.Texts.Edit1;
}

TEST(CalibrationFromLines, RefusalsChangeNothingAndLeaveNothingToUndo) {
  Rig r;
  Session& s = r.session();
  EXPECT_FALSE(CalibFromLinesClick(s, "Mn Ka, Qq Ka", false));
  EXPECT_NE(s.Texts.Edit1.find("'Qq' is no element"), std::string::npos);
  EXPECT_FALSE(CalibFromLinesClick(s, " , ", false));
  EXPECT_FALSE(CalibFromLinesClick(s, "Sn Ka, Ba Ka", false));  // neither is in the spectrum
  EXPECT_NE(s.Texts.Edit1.find("too few of the lines"), std::string::npos);
  EXPECT_TRUE(same(s.Calibration, r.before));
  EXPECT_TRUE(s.LinesCalibration.Undo.empty());
  s.Calibration.Valid = 0;
  EXPECT_FALSE(CalibFromLinesClick(s, "Ti Ka, Mn Ka, Cu Ka", false));
  EXPECT_NE(s.Texts.Edit1.find("no starting calibration"), std::string::npos);
}

TEST(CalibrationFromLines, ASpectrumCalibratedInEvStaysInEv) {
  Rig r(true);
  Session& s = r.session();
  ASSERT_TRUE(CalibFromLinesClick(s, "Ti Ka, Mn Ka, Cu Ka, Zr Ka", false));
  EXPECT_EQ(std::string(s.Calibration.UnitText.data()), "eV");
  EXPECT_NEAR(channelEnergy(s.Calibration, 600.0f), 5980.0, 3.0);
}

}  // namespace
}  // namespace tolvane
