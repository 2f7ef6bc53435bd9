// The fluorescence model's parts and the iteration from K-ratios to mass
// fractions. Their agreement with codes written elsewhere is checked by
// tests/quant/fp_independent_check.py.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "quant/concentration_solver.h"
#include "quant/ebel_tube.h"
#include "quant/quant_conditions.h"
#include "quant/secondary_depth_integral.h"

namespace tolvane {
namespace {

constexpr int kSi = 14, kCa = 20, kTi = 22, kCr = 24, kMn = 25, kFe = 26, kNi = 28, kMo = 42, kRh = 45;

TEST(DepthIntegrals, ALayerTendsToTheThickSampleAndStaysBelowIt) {
  const double a = 120.0, b = 90.0, m = 70.0;
  const double thick = secondaryDepthIntegral(a, b, m, 0.0);
  EXPECT_NEAR(secondaryDepthIntegral(a, b, m, 10.0), thick, 1e-6 * thick);
  double previous = 0.0;
  for (const double t : {1e-6, 1e-5, 1e-4, 1e-3, 1e-2}) {
    const double j = secondaryDepthIntegral(a, b, m, t);
    EXPECT_GT(j, previous) << t;
    EXPECT_LT(j, thick) << t;
    previous = j;
  }
  // A thin layer: the primary grows as its thickness.
  EXPECT_NEAR(primaryDepthIntegral(100.0, 1e-7), 1e-7, 1e-12);
  EXPECT_DOUBLE_EQ(primaryDepthIntegral(100.0, 0.0), 0.01);
}

TEST(DepthIntegrals, EqualAttenuationsNeedNoSpecialCase) {
  // c = m/u meets a and b inside the u integral; the divided differences
  // must stay finite and continuous there.
  const double near = secondaryDepthIntegral(50.0, 50.0, 50.0, 0.003);
  const double off = secondaryDepthIntegral(50.0 * (1 + 1e-9), 50.0, 50.0, 0.003);
  EXPECT_TRUE(std::isfinite(near));
  EXPECT_NEAR(near, off, 1e-6 * near);
}

TEST(Beams, Fe55IsMnKOnlyAtTheTablesRatio) {
  const ExcitationBeam beam = radionuclideBeam(Radionuclide::Fe55);
  double kAlpha = 0.0, kBeta = 0.0;
  for (const BeamLine& line : beam.lines) (line.energyKev < 6.2 ? kAlpha : kBeta) += line.weight;
  EXPECT_LT(beam.maxEnergyKev(), 6.6);
  EXPECT_GT(beam.maxEnergyKev(), 6.4);
  EXPECT_GT(kBeta / kAlpha, 0.10);
  EXPECT_LT(kBeta / kAlpha, 0.15);
  EXPECT_GT(radionuclideBeam(Radionuclide::Am241).maxEnergyKev(), 59.0);
  EXPECT_EQ(radionuclideFromName("Cd-109"), Radionuclide::Cd109);
  EXPECT_FALSE(radionuclideFromName("co57"));
}

TEST(Beams, TubeLinesNeedTheirEdgeAndTheContinuumEndsAtTheVoltage) {
  TubeSettings tube;
  tube.anodeZ = kRh;
  auto hasRhKAlpha = [](const ExcitationBeam& beam) {
    for (const BeamLine& line : beam.lines)
      if (std::fabs(line.energyKev - 20.216) < 0.002) return true;
    return false;
  };
  tube.kilovolts = 20.0;  // below the Rh K edge at 23.2 keV
  EXPECT_FALSE(hasRhKAlpha(ebelTubeBeam(tube)));
  tube.kilovolts = 30.0;
  EXPECT_TRUE(hasRhKAlpha(ebelTubeBeam(tube)));
  EXPECT_EQ(ebelContinuumDensity(tube, 30.0), 0.0);
  EXPECT_GT(ebelContinuumDensity(tube, 29.0), 0.0);
  // A thicker window takes more of the soft end than of the hard end.
  TubeSettings thick = tube;
  thick.windowUm = 500.0;
  EXPECT_LT(ebelContinuumDensity(thick, 3.0) / ebelContinuumDensity(tube, 3.0),
            ebelContinuumDensity(thick, 15.0) / ebelContinuumDensity(tube, 15.0));
}

TEST(FluorescenceModel, WhatFe55CanAndCannotExcite) {
  const FluorescenceModel model({kCr, kFe, kCa}, {{kCr, LineGroup::KAlpha}, {kFe, LineGroup::KAlpha}, {kCa, LineGroup::KAlpha}},
                                radionuclideBeam(Radionuclide::Fe55));
  EXPECT_TRUE(model.excited(0));  // by Mn K-beta only
  EXPECT_FALSE(model.excited(1));
  EXPECT_TRUE(model.excited(2));
  const double pureCr[] = {1.0, 0.0, 0.0};
  const auto pure = model.intensities(pureCr);
  EXPECT_GT(pure[0].primary, 0.0);
  EXPECT_EQ(pure[0].secondary, 0.0);  // nothing in pure Cr can ionise Cr K
  EXPECT_EQ(pure[1].total(), 0.0);
  // Ca in Cr is enhanced by Cr K (about 1 %: only Mn K-beta excites Cr);
  // Cr in Ca is not enhanced by Ca K.
  const double mix[] = {0.5, 0.0, 0.5};
  const auto both = model.intensities(mix);
  EXPECT_GT(both[2].secondary, 0.005 * both[2].primary);
  EXPECT_EQ(both[0].secondary, 0.0);
}

std::vector<MeasuredElement> pureStandards(std::initializer_list<int> elements) {
  std::vector<MeasuredElement> out;
  for (const int z : elements) out.push_back({z, LineGroup::KAlpha, {{z, 1.0}}, 0.0, 0.0});
  return out;
}

QuantRequest steelRequest(SumConstraint constraint) {
  TubeSettings tube;
  tube.anodeZ = kRh;
  QuantRequest request;
  request.beam = ebelTubeBeam(tube);
  request.constraint = std::move(constraint);
  request.measured = pureStandards({kFe, kCr, kNi, kMn, kSi, kMo});
  const std::vector<ElementFraction> steel = {{kFe, 0.70}, {kCr, 0.18}, {kNi, 0.08},
                                              {kMn, 0.015}, {kSi, 0.005}, {kMo, 0.02}};
  const auto k = forwardKratios(request.measured, steel, request.beam, request.geometry);
  for (size_t i = 0; i < k.size(); ++i) request.measured[i].kratio = k[i].kratio;
  return request;
}

TEST(ConcentrationSolver, SteelComesBackFromItsOwnKRatios) {
  const std::vector<double> steel = {0.70, 0.18, 0.08, 0.015, 0.005, 0.02};
  for (const bool normalise : {true, false}) {
    SumConstraint constraint;
    if (!normalise) constraint = {false, {{kFe, 1.0}}, "Fe"};
    const QuantResult result = quantify(steelRequest(constraint));
    EXPECT_TRUE(result.converged);
    EXPECT_LT(result.iterations, 20);
    EXPECT_NEAR(result.total, 1.0, 1e-5);
    for (size_t i = 0; i < steel.size(); ++i) {
      ASSERT_TRUE(result.elements[i].fraction);
      EXPECT_NEAR(*result.elements[i].fraction, steel[i], 1e-5) << i << " normalise " << normalise;
    }
    EXPECT_EQ(result.elements[0].byDifference, !normalise);
  }
}

TEST(ConcentrationSolver, AnElementTheBeamCannotExciteIsFlaggedNotZero) {
  QuantRequest request;
  request.beam = radionuclideBeam(Radionuclide::Fe55);
  request.measured = pureStandards({kTi, kFe});
  request.measured[0].kratio = 0.4;
  request.measured[1].kratio = 0.3;  // whatever was measured: Fe K cannot be excited
  const QuantResult normalised = quantify(request);
  EXPECT_FALSE(normalised.elements[1].excited);
  EXPECT_FALSE(normalised.elements[1].fraction);
  EXPECT_NEAR(*normalised.elements[0].fraction, 1.0, 1e-9);  // the total says what is missing
  EXPECT_NEAR(normalised.total, 0.4, 1e-6);
  request.constraint = {false, {{kFe, 1.0}}, "Fe"};
  const QuantResult balanced = quantify(request);
  ASSERT_TRUE(balanced.elements[1].fraction);
  EXPECT_TRUE(balanced.elements[1].byDifference);
  EXPECT_NEAR(*balanced.elements[0].fraction + *balanced.elements[1].fraction, 1.0, 1e-9);
}

TEST(ConcentrationSolver, ErrorsFollowTheKRatioErrors) {
  QuantRequest request;
  request.beam = radionuclideBeam(Radionuclide::Fe55);
  request.measured = pureStandards({kCa});
  request.measured[0].kratio = 0.25;
  request.measured[0].kratioError = 0.005;
  request.constraint = {false, {{kFe, 1.0}}, "Fe"};
  const QuantResult one = quantify(request);
  request.measured[0].kratioError = 0.010;
  const QuantResult two = quantify(request);
  EXPECT_GT(one.elements[0].fractionError, 0.0);
  EXPECT_NEAR(two.elements[0].fractionError, 2.0 * one.elements[0].fractionError, 1e-3 * one.elements[0].fractionError);
  // The balance takes the error of what it is the rest of.
  ASSERT_EQ(one.elements.size(), 2u);
  EXPECT_NEAR(one.elements[1].fractionError, one.elements[0].fractionError, 1e-3 * one.elements[0].fractionError);
  // Fe absorbs the Mn K beam far less than Ca does (it lies below the Fe K
  // edge): Ca's fraction is below its K-ratio, and so is its error.
  EXPECT_LT(*one.elements[0].fraction, 0.25);
  EXPECT_LT(one.elements[0].fractionError, 0.005);
}

TEST(ConcentrationSolver, ACompoundStandardGivesTheSameAnswerAsAPureOne) {
  QuantRequest request;
  request.beam = radionuclideBeam(Radionuclide::Fe55);
  request.constraint = {false, {{kFe, 1.0}}, "Fe"};
  const std::vector<ElementFraction> sample = {{kTi, 0.3}, {kFe, 0.7}};
  const auto oxide = formulaFractions("TiO2");
  ASSERT_TRUE(oxide);
  for (const auto& standard : {std::vector<ElementFraction>{{kTi, 1.0}}, *oxide}) {
    request.measured = {{kTi, LineGroup::KAlpha, standard, 0.0, 0.0}};
    request.measured[0].kratio = forwardKratios(request.measured, sample, request.beam, request.geometry)[0].kratio;
    const QuantResult result = quantify(request);
    EXPECT_NEAR(*result.elements[0].fraction, 0.3, 1e-5);
  }
}

TEST(QuantConditions, WrittenConditionsReadBackAndAFaultNamesItsLine) {
  QuantConditions c;
  c.tube = TubeSettings{};
  c.tube->anodeZ = kMo;
  c.tube->kilovolts = 40.0;
  c.tube->windowUm = 50.0;
  c.tube->electronAngleDeg = 70.0;
  c.geometry = {60.0, 30.0};
  c.balance = "CH2O";
  c.line = LineGroup::KBeta;
  c.sampleCurrentUa = 80.0;
  c.standards[kFe] = {"Fe2O3", 50.0};
  std::stringstream text;
  writeQuantConditions(text, c);
  const ConditionsRead read = readQuantConditions(text);
  ASSERT_TRUE(read.conditions) << read.error;
  const QuantConditions& r = *read.conditions;
  ASSERT_TRUE(r.tube);
  EXPECT_EQ(r.tube->anodeZ, kMo);
  EXPECT_EQ(r.tube->kilovolts, 40.0);
  EXPECT_EQ(r.tube->windowUm, 50.0);
  EXPECT_EQ(r.tube->electronAngleDeg, 70.0);
  EXPECT_EQ(r.geometry.incidenceDeg, 60.0);
  EXPECT_EQ(r.balance, "CH2O");
  EXPECT_EQ(r.line, LineGroup::KBeta);
  EXPECT_EQ(r.sampleCurrentUa, 80.0);
  EXPECT_EQ(r.standards.at(kFe).formula, "Fe2O3");
  EXPECT_EQ(r.standards.at(kFe).currentUa, 50.0);

  std::istringstream bad("source fe55\n# fine\nangles 45 120\n");
  const ConditionsRead refused = readQuantConditions(bad);
  EXPECT_FALSE(refused.conditions);
  EXPECT_EQ(refused.errorLine, 3);
  EXPECT_EQ(conditionsPathFor("dir.v2/steel.ref"), "dir.v2/steel.quant");
  EXPECT_EQ(conditionsPathFor("dir.v2/steel"), "dir.v2/steel.quant");
}

}  // namespace
}  // namespace tolvane
