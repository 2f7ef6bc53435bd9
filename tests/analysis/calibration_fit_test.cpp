// The calibration through many points: the fitted terms, residuals, RMS and
// the leave-one-out flag, against hand-worked sets of points.
#include "analysis/calibration_fit.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tolvane {
namespace {

std::vector<CalibrationPoint> onLine(double gain, double offset, std::initializer_list<double> channels) {
  std::vector<CalibrationPoint> points;
  for (const double c : channels) points.push_back({c, offset + gain * c, ""});
  return points;
}

TEST(CalibrationFit, PointsOnALineGiveItBackWithZeroResiduals) {
  const CalibrationFit fit = fitCalibration(onLine(0.01, -0.05, {100, 300, 650, 900, 1500}), false, 1000.0);
  ASSERT_EQ(fit.outcome, CalibrationFit::Outcome::Fitted);
  EXPECT_NEAR(fit.gain, 0.01, 1e-14);
  EXPECT_NEAR(fit.offset, -0.05, 1e-12);
  EXPECT_EQ(fit.quadratic, 0.0);
  EXPECT_NEAR(fit.rmsEv, 0.0, 1e-9);
  EXPECT_EQ(fit.flaggedCount(), 0);
  EXPECT_TRUE(fit.judged);
}

TEST(CalibrationFit, TwoPointsGiveTheTwoPointLine) {
  // The same numbers as the page's two-point calibration: 128 -> 1, 896 -> 7.
  const CalibrationFit fit = fitCalibration({{128, 1.0, ""}, {896, 7.0, ""}}, false, 1000.0);
  ASSERT_EQ(fit.outcome, CalibrationFit::Outcome::Fitted);
  EXPECT_DOUBLE_EQ(fit.gain, 0.0078125);
  EXPECT_NEAR(fit.offset, 0.0, 1e-15);
  EXPECT_FALSE(fit.judged);  // no point to spare: nothing can be judged
}

TEST(CalibrationFit, ResidualsAndRmsMatchAHandWorkedFit) {
  // Channels 0, 1, 2, 3 with energies 0, 1, 2, 4 (eV): the least-squares
  // line is E = 1.3 c - 0.2, residuals 0.2, -0.1, -0.4, 0.3, RMS sqrt(0.075).
  const std::vector<CalibrationPoint> points{{0, 0, ""}, {1, 1, ""}, {2, 2, ""}, {3, 4, ""}};
  const CalibrationFit fit = fitCalibration(points, false, 1.0);
  ASSERT_EQ(fit.outcome, CalibrationFit::Outcome::Fitted);
  EXPECT_NEAR(fit.gain, 1.3, 1e-12);
  EXPECT_NEAR(fit.offset, -0.2, 1e-12);
  const double expected[] = {0.2, -0.1, -0.4, 0.3};
  for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(fit.points[i].residualEv, expected[i], 1e-12) << i;
  EXPECT_NEAR(fit.rmsEv, std::sqrt(0.075), 1e-12);
  // Leave-one-out of the last point: the line through (0,0), (1,1), (2,2)
  // predicts 3 at channel 3, so it misses 4 by 1.
  EXPECT_NEAR(fit.points[3].leaveOneOutEv, 1.0, 1e-12);
}

TEST(CalibrationFit, AWrongLineIsFlaggedAndOnlyIt) {
  // Six lines on 10 eV per channel with about 2 eV of centroid scatter; the
  // fourth is given 60 eV too high, as a line taken for its neighbour.
  std::vector<CalibrationPoint> points = onLine(0.01, 0.02, {150, 280, 400, 590, 800, 1010});
  const double scatterKev[] = {0.002, -0.001, 0.0015, 0.0, -0.002, 0.001};
  for (size_t i = 0; i < points.size(); ++i) points[i].energy += scatterKev[i];
  points[3].energy += 0.060;
  const CalibrationFit fit = fitCalibration(points, false, 1000.0);
  ASSERT_EQ(fit.outcome, CalibrationFit::Outcome::Fitted);
  ASSERT_TRUE(fit.judged);
  for (size_t i = 0; i < points.size(); ++i) EXPECT_EQ(fit.points[i].flagged, i == 3) << i;
  EXPECT_NEAR(fit.points[3].leaveOneOutEv, 60.0, 5.0);
  EXPECT_GT(fit.rmsEv, 15.0);  // the wrong line spoils the RMS of all

  // Without the wrong line the rest fit within the scatter.
  points.erase(points.begin() + 3);
  const CalibrationFit clean = fitCalibration(points, false, 1000.0);
  EXPECT_EQ(clean.flaggedCount(), 0);
  EXPECT_LT(clean.rmsEv, 2.0);
}

TEST(CalibrationFit, AMissWithinTwentyEvIsNeverFlagged) {
  // The others lie exactly on a line, so any miss is many times their
  // scatter; 18 eV is still no reason to doubt a line.
  std::vector<CalibrationPoint> points = onLine(0.01, 0.0, {100, 200, 300, 400, 500});
  points[2].energy += 0.018;  // the others, exactly on the line, predict 18 eV less
  const CalibrationFit fit = fitCalibration(points, false, 1000.0);
  EXPECT_NEAR(fit.points[2].leaveOneOutEv, 18.0, 1e-9);
  EXPECT_EQ(fit.flaggedCount(), 0);
  points[2].energy += 0.004;  // 22 eV
  EXPECT_TRUE(fitCalibration(points, false, 1000.0).points[2].flagged);
}

TEST(CalibrationFit, AQuadraticIsRecoveredInChannelTerms) {
  // E = 0.1 + 0.0098 c + 2e-7 c^2 (keV) over 4096 channels.
  std::vector<CalibrationPoint> points;
  for (const double c : {120.0, 600.0, 1100.0, 1900.0, 2600.0, 3500.0, 4000.0})
    points.push_back({c, 0.1 + 0.0098 * c + 2e-7 * c * c, ""});
  const CalibrationFit fit = fitCalibration(points, true, 1000.0);
  ASSERT_EQ(fit.outcome, CalibrationFit::Outcome::Fitted);
  EXPECT_NEAR(fit.quadratic, 2e-7, 1e-15);
  EXPECT_NEAR(fit.gain, 0.0098, 1e-11);
  EXPECT_NEAR(fit.offset, 0.1, 1e-8);
  EXPECT_NEAR(fit.energy(3000.0), 0.1 + 29.4 + 1.8, 1e-9);
  // A line through the same points misses the ends by tens of eV.
  EXPECT_GT(fitCalibration(points, false, 1000.0).rmsEv, 50.0);
}

TEST(CalibrationFit, RefusesWhatCannotFixTheTerms) {
  EXPECT_EQ(fitCalibration({}, false, 1.0).outcome, CalibrationFit::Outcome::TooFewPoints);
  EXPECT_EQ(fitCalibration({{10, 1, ""}}, false, 1.0).outcome, CalibrationFit::Outcome::TooFewPoints);
  EXPECT_EQ(fitCalibration({{10, 1, ""}, {20, 2, ""}}, true, 1.0).outcome, CalibrationFit::Outcome::TooFewPoints);
  EXPECT_EQ(fitCalibration({{10, 1, ""}, {10, 2, ""}}, false, 1.0).outcome,
            CalibrationFit::Outcome::TooFewChannels);
  EXPECT_EQ(fitCalibration({{10, 1, ""}, {20, 2, ""}, {20, 2.1, ""}}, true, 1.0).outcome,
            CalibrationFit::Outcome::TooFewChannels);
  EXPECT_EQ(fitCalibration({{10, 1, ""}, {NAN, 2, ""}}, false, 1.0).outcome, CalibrationFit::Outcome::NotFinite);
  EXPECT_EQ(fitCalibration({{10, 1, ""}, {20, INFINITY, ""}}, false, 1.0).outcome,
            CalibrationFit::Outcome::NotFinite);
}

TEST(CalibrationFit, APointThatAloneFixesATermIsNotJudged) {
  // Four points at channel 100 and one at 900: the line must pass through
  // the lone point, so nothing predicts it and it is never flagged.
  std::vector<CalibrationPoint> points{{100, 1.0, ""}, {100, 1.001, ""}, {100, 0.999, ""}, {100, 1.0, ""},
                                       {900, 9.5, ""}};
  const CalibrationFit fit = fitCalibration(points, false, 1000.0);
  ASSERT_EQ(fit.outcome, CalibrationFit::Outcome::Fitted);
  EXPECT_FALSE(fit.points[4].flagged);
  EXPECT_EQ(fit.points[4].leaveOneOutEv, 0.0);
  EXPECT_NEAR(fit.points[4].residualEv, 0.0, 1e-9);
}

}  // namespace
}  // namespace tolvane
