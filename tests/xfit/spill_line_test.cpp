// The line a spill flag names: the spilling element's line near the
// channels it spills into, on its standard's own calibration in eV or keV;
// the plain text where no calibration or no line tells which.
#include "xfit/spill_line.h"

#include <gtest/gtest.h>

namespace tolvane {
namespace {

// Mn's K-alpha window +-1 FWHM and a spill over the Fe K-alpha window, on
// 10 eV per channel: Mn K-beta (6.49 keV) lies in it.
constexpr int32_t kMnLow = 576, kMnHigh = 604, kFeLow = 626, kFeHigh = 654;

TEST(SpillLine, TheSpillingLineIsNamedOnACalibrationInKevOrInEv) {
  EXPECT_EQ(spillingLine("Mn", calibrationInKev(0.01f, 0.0f, 2048), kMnLow, kMnHigh, kFeLow, kFeHigh), "Kβ");
  EXPECT_EQ(spillingLine("Mn", calibrationInKev(10.0f, 0.0f, 2048), kMnLow, kMnHigh, kFeLow, kFeHigh), "Kβ");
  EXPECT_EQ(spillingLine("MN", calibrationInKev(0.01f, 0.0f, 2048), kMnLow, kMnHigh, kFeLow, kFeHigh), "Kβ");
  // A window that holds K-beta too leaves no line outside it near the spill.
  EXPECT_EQ(spillingLine("Mn", calibrationInKev(0.01f, 0.0f, 2048), kMnLow, 670, 680, 700), "");
  // Far from every Mn line, an unknown element, no calibration: nothing.
  EXPECT_EQ(spillingLine("Mn", calibrationInKev(0.01f, 0.0f, 2048), kMnLow, kMnHigh, 1500, 1510), "");
  EXPECT_EQ(spillingLine("E0", calibrationInKev(0.01f, 0.0f, 2048), kMnLow, kMnHigh, kFeLow, kFeHigh), "");
  EXPECT_EQ(spillingLine("Mn", calibrationInKev(0.0f, 0.0f, 2048), kMnLow, kMnHigh, kFeLow, kFeHigh), "");
}

TEST(SpillLine, TheFlagsTextNamesTheLineOnlyWhereTheStandardIsCalibrated) {
  XfitWorkspace fit;
  fit.FitCount = 2;
  fit.SelectedCopy[0].setElemName("Mn");
  fit.SelectedCopy[0].setFitLowCh(kMnLow);
  fit.SelectedCopy[0].setFitHighCh(kMnHigh);
  fit.SelectedCopy[1].setElemName("Fe");
  fit.SelectedIndex[0] = 4;
  fit.SelectedIndex[1] = 5;
  FitFlag spill{FitFlagKind::WindowSpill, 4, 0};
  spill.otherIndex = 5;
  spill.otherStandard = 1;
  spill.firstChannel = kFeLow;
  spill.lastChannel = kFeHigh;
  StandardInUse mn{4, "Mn", "mn.dat", {}};
  mn.read.outcome = SpectrumFileRead::Outcome::Read;
  mn.read.channels = 2048;
  mn.read.header.setCalibrationMarker(0.0f);
  mn.read.header.setGain(10.0f);  // eV
  mn.read.header.setOffset(0.0f);
  const auto startsWith = [](const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
  };
  EXPECT_TRUE(startsWith(spillFlagText(spill, fit, {mn}), "Mn: its Kβ spills into the Fe window beyond"))
      << spillFlagText(spill, fit, {mn});
  mn.read.header.setCalibrationMarker(1.0f);  // not calibrated
  EXPECT_TRUE(startsWith(spillFlagText(spill, fit, {mn}), "Mn: its spectrum spills into the Fe window beyond"))
      << spillFlagText(spill, fit, {mn});
  EXPECT_EQ(spillFlagText(spill, fit, {}), fitFlagText(spill, fit, 0.0));
}

}  // namespace
}  // namespace tolvane
