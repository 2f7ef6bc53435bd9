// Fit quality of the MLSQ fit on seeded spectra with known content: the
// reduced chi-square of good fits, the flags on samples made to break them,
// their false-alarm rate, and the bias where lines spill past the windows.
#include "xfit/fit_quality.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

#include "xfit/fit_quality_plan.h"

namespace tolvane {
namespace {

constexpr int kChannels = 1024;

struct Line {
  double centre;
  double height;  // counts at the peak for a K-ratio of 1
};

struct Element {
  std::vector<Line> lines;
  int32_t low, high;  // fit window
};

std::vector<double> meanSpectrum(const std::vector<Line>& lines, double scale, double base, double slope) {
  std::vector<double> mean(kChannels);
  for (int c = 0; c < kChannels; ++c) {
    double m = base + slope * c;
    for (const Line& l : lines) m += scale * l.height * std::exp(-0.5 * std::pow((c - l.centre) / 6.0, 2));
    mean[static_cast<size_t>(c)] = m;
  }
  return mean;
}

std::vector<int32_t> draw(const std::vector<double>& mean, std::mt19937_64& random) {
  std::vector<int32_t> counts(mean.size());
  // A dip below the continuum can ask for a negative mean: no counts there.
  for (size_t c = 0; c < mean.size(); ++c)
    counts[c] = mean[c] > 0 ? std::poisson_distribution<int32_t>(mean[c])(random) : 0;
  return counts;
}

struct Outcome {
  FitQuality quality;
  std::array<double, kMaxStandards> kratios{}, errors{};
};

// Standards drawn from `standards` (with their own counting noise), a
// sample drawn from `sampleLines` at the given K-ratios, fitted as the MLSQ
// fit does and assessed.
Outcome fitSeeded(const std::vector<Element>& standards, const std::vector<std::vector<Line>>& sampleLines,
                  const std::vector<double>& ratios, uint64_t seed, double sampleShift = 0.0,
                  bool generalProducts = false) {
  std::mt19937_64 random(seed);
  auto fit = std::make_unique<XfitWorkspace>();
  fit->FitCount = static_cast<int32_t>(standards.size());
  for (size_t k = 0; k < standards.size(); ++k) {
    StandardRecord& r = fit->SelectedCopy[k];
    r.setInUse(1);
    r.setElemName("E" + std::to_string(k));
    r.setFitLowCh(standards[k].low);
    r.setFitHighCh(standards[k].high);
    fit->SelectedIndex[k] = static_cast<int32_t>(k) + 2;
    const auto counts = draw(meanSpectrum(standards[k].lines, 1.0, 15.0, 0.0), random);
    std::copy(counts.begin(), counts.end(), fit->stdCounts(static_cast<int>(k)));
    TopHatFilter(fit->stdCounts(static_cast<int>(k)), fit->filteredStd(static_cast<int>(k)), kChannels);
  }
  std::vector<Line> lines;
  for (size_t k = 0; k < sampleLines.size(); ++k)
    for (Line l : sampleLines[k]) {
      l.height *= ratios[k];
      l.centre += sampleShift;
      lines.push_back(l);
    }
  const auto sample = draw(meanSpectrum(lines, 1.0, 40.0, 0.02), random);
  std::copy(sample.begin(), sample.end(), fit->SampleCounts.begin());
  fit->SampleChannels = kChannels;
  TopHatFilter(fit->SampleCounts.data(), fit->FilteredSample.data(), kChannels);
  TopHatVariance(fit->SampleCounts.data(), fit->SampleVariance.data(), kChannels);
  Outcome out;
  if (!solveMlsq(*fit, fit->FilteredSample.data(), fit->SampleVariance.data())) return out;
  FitQualityPlan plan(*fit);
  plan.useGeneralProducts(generalProducts);
  out.quality = plan.assess(fit->FitCoefficients, fit->FitErrors, sample.data(), kChannels);
  for (int k = 0; k < fit->FitCount; ++k) {
    out.kratios[static_cast<size_t>(k)] = fit->FitCoefficients[static_cast<size_t>(k)] * 100;
    out.errors[static_cast<size_t>(k)] = fit->FitErrors[static_cast<size_t>(k)];
  }
  return out;
}

bool hasFlag(const FitQuality& q, FitFlagKind kind) {
  for (const FitFlag& f : q.flags)
    if (f.kind == kind) return true;
  return false;
}

// Three elements, each line well inside its own window, nothing spilling
// into a neighbour's window.
const std::vector<Element> kSeparate = {
    {{{300, 3000}}, 265, 335}, {{{480, 4000}}, 445, 515}, {{{660, 2500}}, 625, 695}};
const std::vector<double> kRatios = {0.4, 1.1, 0.7};

std::vector<std::vector<Line>> linesOf(const std::vector<Element>& elements) {
  std::vector<std::vector<Line>> out;
  for (const Element& e : elements) out.push_back(e.lines);
  return out;
}

TEST(FitQuality, GoodSamplesAverageAReducedChiSquareOfOneAndRarelyRaiseAFlag) {
  const int samples = 500;
  double sum = 0.0;
  int flagged = 0;
  for (int i = 0; i < samples; ++i) {
    const Outcome o = fitSeeded(kSeparate, linesOf(kSeparate), kRatios, 100 + static_cast<uint64_t>(i));
    ASSERT_TRUE(o.quality.valid);
    sum += o.quality.chi2Reduced;
    flagged += o.quality.flags.empty() ? 0 : 1;
    EXPECT_GT(o.quality.dof, 3.0);
  }
  const double mean = sum / samples;
  std::printf("good samples: mean reduced chi-square %.3f, false alarms %d of %d\n", mean, flagged, samples);
  EXPECT_NEAR(mean, 1.0, 0.1);
  EXPECT_LE(flagged, samples / 50);  // at most 2 %
}

TEST(FitQuality, ALineMissingFromTheStandardsRaisesTheChiSquare) {
  int caught = 0;
  for (uint64_t seed = 1; seed <= 20; ++seed) {
    auto lines = linesOf(kSeparate);
    lines[1].push_back({500, 1500});  // a line no standard carries, inside a window
    const Outcome o = fitSeeded(kSeparate, lines, kRatios, seed);
    caught += hasFlag(o.quality, FitFlagKind::Chi2High) || hasFlag(o.quality, FitFlagKind::SystematicResidual);
    EXPECT_GT(o.quality.chi2Reduced, 3.0);
  }
  EXPECT_EQ(caught, 20);
}

TEST(FitQuality, AStandardOfTheWrongElementIsASystematicResidualInItsWindow) {
  auto standards = kSeparate;
  standards[1].lines = {{492, 4000}};  // the neighbouring element's line, 12 channels off
  for (uint64_t seed = 1; seed <= 10; ++seed) {
    const Outcome o = fitSeeded(standards, linesOf(kSeparate), kRatios, seed);
    ASSERT_FALSE(o.quality.flags.empty());
    bool inItsWindow = false;
    for (const FitFlag& f : o.quality.flags)
      inItsWindow = inItsWindow || (f.kind == FitFlagKind::SystematicResidual && f.standard == 1 && f.index == 3);
    EXPECT_TRUE(inItsWindow) << seed;
  }
}

TEST(FitQuality, AShiftedCalibrationIsFlagged) {
  for (uint64_t seed = 1; seed <= 10; ++seed) {
    const Outcome o = fitSeeded(kSeparate, linesOf(kSeparate), kRatios, seed, 2.0);
    EXPECT_TRUE(hasFlag(o.quality, FitFlagKind::SystematicResidual)) << seed;
  }
}

TEST(FitQuality, AMissingElementIsNotDetectedAndAnInvertedOneIsANegativeKRatio) {
  // The sample has no line of the second element.
  const Outcome absent = fitSeeded(kSeparate, linesOf(kSeparate), {0.4, 0.0, 0.7}, 5);
  EXPECT_TRUE(absent.quality.notDetected[1]);
  EXPECT_FALSE(absent.quality.notDetected[0]);
  EXPECT_FALSE(hasFlag(absent.quality, FitFlagKind::NegativeKratio));
  // A dip where the element's line would be: a K-ratio far below zero.
  const Outcome dip = fitSeeded(kSeparate, linesOf(kSeparate), {0.4, -0.05, 0.7}, 5);
  EXPECT_TRUE(hasFlag(dip.quality, FitFlagKind::NegativeKratio));
  EXPECT_LT(dip.kratios[1], -dip.errors[1]);
}

TEST(FitQuality, LinesSpillingPastTheWindowsBiasTheChiSquareUpwards) {
  // The first element has a second line that falls into the second
  // element's window, which the per-window model cannot carry.
  const std::vector<Element> spilling = {{{{300, 3000}, {470, 900}}, 265, 335}, kSeparate[1], kSeparate[2]};
  double exact = 0.0, spilled = 0.0;
  const int samples = 100;
  for (int i = 0; i < samples; ++i) {
    exact += fitSeeded(kSeparate, linesOf(kSeparate), kRatios, 700 + static_cast<uint64_t>(i)).quality.chi2Reduced;
    spilled += fitSeeded(spilling, linesOf(spilling), kRatios, 700 + static_cast<uint64_t>(i)).quality.chi2Reduced;
  }
  std::printf("spilling line: mean reduced chi-square %.2f (separate lines %.2f)\n", spilled / samples,
              exact / samples);
  EXPECT_GT(spilled / samples, 1.5 * exact / samples);
}

TEST(FitQuality, TextsOfTheFlagsAndTheLine) {
  XfitWorkspace fit;
  fit.FitCount = 2;
  fit.SelectedCopy[0].setElemName("Fe");
  fit.SelectedCopy[1].setElemName("Cu");
  FitQuality q;
  q.valid = true;
  q.chi2Reduced = 1.07;
  EXPECT_EQ(fitQualityLine(q, fit), "χ²ᵣ 1.07, no flags");
  q.notDetected[1] = true;
  EXPECT_EQ(fitQualityLine(q, fit), "χ²ᵣ 1.07, no flags; not detected: Cu");
  q.chi2Reduced = 4.2;
  q.flags = {{FitFlagKind::SystematicResidual, 7, 0}, {FitFlagKind::Chi2High, -1, -1}};
  EXPECT_EQ(fitQualityLine(q, fit),
            "χ²ᵣ 4.20, Fe: systematic residual in its window; a line in the sample is not in the standards; "
            "not detected: Cu");
  EXPECT_EQ(fitFlagText(q.flags[1], fit, q.chi2Reduced), "χ²ᵣ 4.20 > 3: a line in the sample is not in the standards");
  EXPECT_STREQ(fitFlagKindName(FitFlagKind::NegativeKratio), "negative_kratio");
}

// The model's share of the residual covariance, formed term by term where a
// channel lies in one or two windows, gives the general matrix product's
// bits: on separate, overlapping and spilling windows, at the spectrum's
// ends, on a window narrower than the standards, and on a shifted sample.
TEST(FitQuality, TermByTermProductsGiveTheGeneralProductsBits) {
  const auto same = [](const FitQuality& a, const FitQuality& b) {
    const auto bits = [](const std::vector<double>& v) {
      return std::vector<uint64_t>(reinterpret_cast<const uint64_t*>(v.data()),
                                   reinterpret_cast<const uint64_t*>(v.data() + v.size()));
    };
    bool flags = a.flags.size() == b.flags.size();
    for (size_t i = 0; flags && i < a.flags.size(); ++i)
      flags = a.flags[i].kind == b.flags[i].kind && a.flags[i].standard == b.flags[i].standard;
    return flags && a.valid == b.valid &&
           bits({a.chi2, a.chi2Reduced, a.dof}) == bits({b.chi2, b.chi2Reduced, b.dof}) &&
           bits(a.residual) == bits(b.residual) && bits(a.sigma) == bits(b.sigma) && a.channels == b.channels;
  };
  const std::vector<Element> spilling = {{{{300, 3000}, {470, 900}}, 265, 335}, kSeparate[1], kSeparate[2]};
  const std::vector<Element> overlapping = {
      {{{300, 3000}}, 265, 335}, {{{330, 4000}}, 300, 370}, {{{660, 2500}}, 625, 695}};
  const std::vector<Element> atTheEnds = {{{{20, 3000}}, 0, 50}, {{{1010, 4000}}, 990, 1100}, kSeparate[1]};
  const std::vector<Element> narrow = {{{{300, 3000}}, 298, 301}, kSeparate[1]};
  int valid = 0;
  for (uint64_t seed = 1; seed <= 8; ++seed)
    for (const auto* elements : {&kSeparate, &spilling, &overlapping, &atTheEnds, &narrow})
      for (double shift : {0.0, 2.0}) {
        const std::vector<double> ratios(elements->size(), 0.6);
        const Outcome termByTerm = fitSeeded(*elements, linesOf(*elements), ratios, seed, shift);
        const Outcome general = fitSeeded(*elements, linesOf(*elements), ratios, seed, shift, true);
        EXPECT_TRUE(same(termByTerm.quality, general.quality)) << seed;
        valid += termByTerm.quality.valid;
      }
  EXPECT_GT(valid, 60);
}

}  // namespace
}  // namespace tolvane
