#include "handlers/analysis_handlers.h"

#include <gtest/gtest.h>

#include <cmath>

#include "handlers/view_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

void enter(Session& s, const char* lowCh, const char* hiCh, const char* lowE, const char* hiE,
           const char* unit = "keV") {
  s.CalibrationPage = {lowCh, hiCh, lowE, hiE, unit};
}

TEST(EnergyCalibration, TwoPointsGiveGainAndOffsetInEitherOrder) {
  testing::SimRig rig(0);
  Session& s = *rig.session;
  enter(s, "128", "896", "1.0", "7.0");
  EngCalibClick(s);
  EXPECT_EQ(s.Calibration.Valid, 1);
  EXPECT_EQ(s.Calibration.Gain, 0.0078125f);
  EXPECT_EQ(s.Calibration.Offset, 0.0f);
  EXPECT_STREQ(s.Calibration.UnitText.data(), "keV");
  PaintBox1MouseDown(s, MouseButton::Left, 16 + 64);  // channel 512 at 8 channels per column
  EXPECT_EQ(s.Texts.Label8, "    4.00");
  EXPECT_EQ(s.Texts.Label9, "keV");

  enter(s, "896", "128", "7.0", "1.0");
  EngCalibClick(s);
  EXPECT_EQ(s.Calibration.Gain, 0.0078125f);
  EXPECT_EQ(s.Calibration.Offset, 0.0f);
}

TEST(EnergyCalibration, TheFirstInvalidFieldStopsAndKeepsThePreviousCalibration) {
  testing::SimRig rig(0);
  Session& s = *rig.session;
  EngCalibClick(s);  // the page's initial texts
  EXPECT_EQ(s.Texts.Edit1, "Error ! Energy Calib LowCh");
  EXPECT_EQ(s.Calibration.Valid, 0);

  enter(s, " 590.10", "1280", "5.899", "12.8", "kiloelectronvolt");
  EngCalibClick(s);
  const float gain = s.Calibration.Gain, offset = s.Calibration.Offset;
  EXPECT_STREQ(s.Calibration.UnitText.data(), "kiloele");  // cut to seven characters
  EXPECT_EQ(s.Calibration.RefLowChannel, 590.1f);

  const struct {
    const char *lc, *hc, *le, *he, *message;
  } bad[] = {{"1x", "2", "3", "4", "Error ! Energy Calib LowCh"},
             {"1", "", "3", "4", "Error ! Energy Calib HighCh"},
             {"1", "2", "a", "4", "Error ! Energy Calib LowEng"},
             {"1", "2", "3", "4,5", "Error ! Energy Calib HighEng"},
             {"100", "100", "1", "2", "Error ! Energy Calib same Ch"}};
  for (const auto& b : bad) {
    enter(s, b.lc, b.hc, b.le, b.he);
    EngCalibClick(s);
    EXPECT_EQ(s.Texts.Edit1, b.message);
    EXPECT_EQ(s.Calibration.Gain, gain);
    EXPECT_EQ(s.Calibration.Offset, offset);
    EXPECT_TRUE(std::isfinite(s.Calibration.Gain));
  }
}

TEST(EnergyCalibration, TypingChecksReportButStoreNothing) {
  testing::SimRig rig(0);
  Session& s = *rig.session;
  s.Texts.Edit1.clear();
  LowChChange(s, "12");
  EXPECT_EQ(s.Texts.Edit1, "");
  LowChChange(s, "12k");
  EXPECT_EQ(s.Texts.Edit1, "Error ! EngCalib LowCh");
  LowChChange(s, "12");  // correcting does not clear the message
  EXPECT_EQ(s.Texts.Edit1, "Error ! EngCalib LowCh");
  HiChChange(s, "x");
  EXPECT_EQ(s.Texts.Edit1, "Error ! EngCalib HiCh");
  EXPECT_EQ(s.Calibration.Valid, 0);
}

}  // namespace
}  // namespace tolvane

namespace tolvane {
namespace {

TEST(EnergyCalibration, NumbersBeyondSinglePrecisionAreRefused) {
  testing::SimRig rig(0);
  Session& s = *rig.session;
  enter(s, "128", "896", "1.0", "7.0");
  EngCalibClick(s);
  enter(s, "0", "1", "1", "1e39");  // a float cannot hold the energy
  EngCalibClick(s);
  EXPECT_EQ(s.Texts.Edit1, "Error ! Energy Calib HighEng");
  enter(s, "0", "1e-30", "0", "3e38");  // a gain beyond single precision
  EngCalibClick(s);
  EXPECT_EQ(s.Texts.Edit1, "Error ! Energy Calib same Ch");
  EXPECT_EQ(s.Calibration.Gain, 0.0078125f);
  EXPECT_TRUE(std::isfinite(s.Calibration.Offset));
}

}  // namespace
}  // namespace tolvane
