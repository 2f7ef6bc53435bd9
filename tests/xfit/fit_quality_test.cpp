// Fit quality of the MLSQ fit on seeded spectra with known content: the
// reduced chi-square of exact and of Poisson mixtures, the flags on samples
// made to break them, their false-alarm rate, and the spill of lines past
// the windows, worked out from the standards alone.
#include "xfit/fit_quality.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

#include "xfit/fit_quality_plan.h"

namespace tolvane {
namespace {

struct Line {
  double centre;  // channel
  double height;  // counts at the peak for a K-ratio of 1
  double sigma = 6.0;
};

struct Element {
  std::string name;
  std::vector<Line> lines;
  int32_t low, high;  // fit window
};

std::vector<double> meanSpectrum(int channels, const std::vector<Line>& lines, double scale, double base,
                                 double slope) {
  std::vector<double> mean(static_cast<size_t>(channels));
  for (int c = 0; c < channels; ++c) {
    double m = base + slope * c;
    for (const Line& l : lines) m += scale * l.height * std::exp(-0.5 * std::pow((c - l.centre) / l.sigma, 2));
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

// Standards drawn with their own counting noise and loaded as Load Std
// would; samples fitted as MLSQ Fit does and assessed.
struct Loaded {
  Loaded(const std::vector<Element>& standards, int channels, uint64_t seed) : elements(standards), n(channels) {
    std::mt19937_64 random(seed);
    fit->FitCount = static_cast<int32_t>(standards.size());
    fit->StdChannels = channels;
    for (size_t k = 0; k < standards.size(); ++k) {
      StandardRecord& r = fit->SelectedCopy[k];
      r.setInUse(1);
      r.setElemName(standards[k].name.empty() ? "E" + std::to_string(k) : standards[k].name);
      r.setFitLowCh(standards[k].low);
      r.setFitHighCh(standards[k].high);
      fit->SelectedIndex[k] = static_cast<int32_t>(k) + 2;
      const auto counts = draw(meanSpectrum(channels, standards[k].lines, 1.0, 15.0, 0.0), random);
      std::copy(counts.begin(), counts.end(), fit->stdCounts(static_cast<int>(k)));
      TopHatFilter(fit->stdCounts(static_cast<int>(k)), fit->filteredStd(static_cast<int>(k)), channels);
    }
  }
  std::vector<int32_t> standardCounts(int k) const { return {fit->stdCounts(k), fit->stdCounts(k) + n}; }
  // A Poisson sample of the given K-ratios of the elements' lines (and
  // `extra` lines no standard carries), the calibration shifted by `shift`.
  std::vector<int32_t> poissonSample(const std::vector<double>& ratios, uint64_t seed, double shift = 0.0,
                                     const std::vector<Line>& extra = {}) const {
    std::mt19937_64 random(seed);
    std::vector<Line> lines = extra;
    for (size_t k = 0; k < elements.size(); ++k)
      for (Line l : elements[k].lines) {
        l.height *= ratios[k];
        l.centre += shift;
        lines.push_back(l);
      }
    return draw(meanSpectrum(n, lines, 1.0, 40.0, 0.02), random);
  }
  Outcome fitSample(const std::vector<int32_t>& sample) {
    std::copy(sample.begin(), sample.end(), fit->SampleCounts.begin());
    fit->SampleChannels = n;
    TopHatFilter(fit->SampleCounts.data(), fit->FilteredSample.data(), n);
    TopHatVariance(fit->SampleCounts.data(), fit->SampleVariance.data(), n);
    Outcome out;
    if (!solveMlsq(*fit, fit->FilteredSample.data(), fit->SampleVariance.data())) return out;
    if (!plan) plan = std::make_unique<FitQualityPlan>(*fit);
    out.quality = plan->assess(fit->FitCoefficients, fit->FitErrors, sample.data(), n);
    for (int k = 0; k < fit->FitCount; ++k) {
      out.kratios[static_cast<size_t>(k)] = fit->FitCoefficients[static_cast<size_t>(k)] * 100;
      out.errors[static_cast<size_t>(k)] = fit->FitErrors[static_cast<size_t>(k)];
    }
    return out;
  }
  std::vector<Element> elements;
  int n;
  std::unique_ptr<XfitWorkspace> fit = std::make_unique<XfitWorkspace>();
  std::unique_ptr<FitQualityPlan> plan;
};

int countFlags(const FitQuality& q, FitFlagKind kind) {
  int count = 0;
  for (const FitFlag& f : q.flags) count += f.kind == kind;
  return count;
}
bool hasFlag(const FitQuality& q, FitFlagKind kind) { return countFlags(q, kind) > 0; }

// The K lines of the first-row transition metals on 2048 channels of
// 10 eV, at an energy-dispersive detector's resolution; windows of the
// K-alpha line +-1 FWHM, as ROIs are usually drawn, or wide enough to hold
// both K lines and their filtered tails.
struct KLines {
  const char* name;
  double alphaKeV, betaKeV;
};
constexpr KLines kTransitionMetals[] = {{"Ti", 4.511, 4.932}, {"Cr", 5.415, 5.947}, {"Mn", 5.899, 6.490},
                                        {"Fe", 6.404, 7.058}, {"Co", 6.930, 7.649}, {"Ni", 7.478, 8.265},
                                        {"Cu", 8.048, 8.905}, {"Zn", 8.639, 9.572}};

double sigmaChannels(double keV) { return std::sqrt(95.0 * 95.0 + 2.7 * keV * 1000.0) / 2.3548 / 10.0; }

Element kElement(const KLines& k, bool wideWindow) {
  Element e{k.name,
            {{k.alphaKeV * 100, 2500, sigmaChannels(k.alphaKeV)}, {k.betaKeV * 100, 330, sigmaChannels(k.betaKeV)}},
            0,
            0};
  const double fwhm = 2.3548 * sigmaChannels(k.alphaKeV);
  e.low = static_cast<int32_t>(std::lround(wideWindow ? k.alphaKeV * 100 - 45 : k.alphaKeV * 100 - fwhm));
  e.high = static_cast<int32_t>(std::lround(wideWindow ? k.betaKeV * 100 + 45 : k.alphaKeV * 100 + fwhm));
  return e;
}

std::vector<Element> kTable(std::initializer_list<const char*> names, bool wideWindows) {
  std::vector<Element> table;
  for (const char* name : names)
    for (const KLines& k : kTransitionMetals)
      if (std::string(name) == k.name) table.push_back(kElement(k, wideWindows));
  return table;
}

const std::vector<Element> kEightUsual = kTable({"Ti", "Cr", "Mn", "Fe", "Co", "Ni", "Cu", "Zn"}, false);

TEST(FitQuality, AnExactMixtureOfTwoStandardsLeavesNoResidualAndRaisesNoFlag) {
  // 0.3 x Ti + 0.4 x Cu, rounded, no noise of its own; against three
  // standards whose windows hold their lines, and against eight neighbours
  // with the usual windows, where the fit's spill bias shows in the residual
  // but nothing the standards lack.
  for (const auto& elements : {kTable({"Ti", "Fe", "Cu"}, true), kEightUsual}) {
    Loaded table(elements, 2048, 1);
    const auto ti = table.standardCounts(0), cu = table.standardCounts(elements.size() == 3 ? 2 : 6);
    std::vector<int32_t> sample(2048);
    for (size_t c = 0; c < sample.size(); ++c) sample[c] = static_cast<int32_t>(std::lround(0.3 * ti[c] + 0.4 * cu[c]));
    const Outcome mixture = table.fitSample(sample);
    ASSERT_TRUE(mixture.quality.valid);
    EXPECT_NEAR(mixture.kratios[0], 30.0, 0.05);
    EXPECT_NEAR(mixture.kratios[elements.size() == 3 ? 2 : 6], 40.0, elements.size() == 3 ? 0.05 : 1.0);
    std::printf("%zu standards, exact 0.3 Ti + 0.4 Cu: chi2r %.3f, %.3f after the spill\n", elements.size(),
                mixture.quality.chi2Reduced, mixture.quality.chi2ReducedAfterSpill);
    EXPECT_LT(mixture.quality.chi2ReducedAfterSpill, 0.1);
    if (elements.size() == 3) {
      EXPECT_LT(mixture.quality.chi2Reduced, 0.1);
    } else {
      // The lines' tails past the usual K-alpha windows spill into the
      // neighbours' windows: the literal chi-square carries that bias,
      // below the chi2_high bound.
      EXPECT_GT(mixture.quality.chi2Reduced, 1.0);
      EXPECT_LT(mixture.quality.chi2Reduced, 2.5);
    }
    EXPECT_FALSE(hasFlag(mixture.quality, FitFlagKind::Chi2High));
    EXPECT_FALSE(hasFlag(mixture.quality, FitFlagKind::SystematicResidual));
  }

  // A sample that is the Fe standard: the fit's own spill bias (Fe K-beta
  // in the Co window) leaves a residual, but nothing the standards lack.
  Loaded eight(kEightUsual, 2048, 1);
  const Outcome copy = eight.fitSample(eight.standardCounts(3));
  ASSERT_TRUE(copy.quality.valid);
  EXPECT_GT(copy.quality.chi2Reduced, copy.quality.chi2ReducedAfterSpill);
  EXPECT_LT(copy.quality.chi2ReducedAfterSpill, 0.1);
  EXPECT_FALSE(hasFlag(copy.quality, FitFlagKind::Chi2High));
  EXPECT_FALSE(hasFlag(copy.quality, FitFlagKind::SystematicResidual));
}

// Random mixtures of random elements of the table, neighbours included.
struct MixtureRun {
  double meanChi2 = 0, meanAfterSpill = 0;
  int chi2High = 0, systematic = 0, negative = 0, samples = 0;
};

MixtureRun runMixtures(const std::vector<Element>& elements, int samples, uint64_t seed) {
  Loaded table(elements, 2048, seed);
  std::mt19937_64 random(seed * 7919);
  MixtureRun run;
  for (int i = 0; i < samples; ++i) {
    std::vector<double> ratios(elements.size(), 0.0);
    for (double& r : ratios)
      if (std::uniform_real_distribution<double>(0, 1)(random) < 0.6)
        r = std::uniform_real_distribution<double>(0.05, 1.0)(random);
    const Outcome o = table.fitSample(table.poissonSample(ratios, random()));
    EXPECT_TRUE(o.quality.valid);
    run.meanChi2 += o.quality.chi2Reduced / samples;
    run.meanAfterSpill += o.quality.chi2ReducedAfterSpill / samples;
    run.chi2High += hasFlag(o.quality, FitFlagKind::Chi2High);
    run.systematic += hasFlag(o.quality, FitFlagKind::SystematicResidual);
    run.negative += hasFlag(o.quality, FitFlagKind::NegativeKratio);
    ++run.samples;
  }
  return run;
}

TEST(FitQuality, PoissonMixturesOfTheStandardsAverageAReducedChiSquareOfOneAndRarelyRaiseAFlag) {
  // Lines inside their windows: nothing spills, the chi-square is the fit's.
  for (const auto& elements : {kTable({"Ti", "Fe", "Zn"}, true), kTable({"Mn", "Fe", "Co"}, true)}) {
    const MixtureRun run = runMixtures(elements, 150, 11);
    std::printf("%zu standards, wide windows: mean chi2r %.3f, chi2_high %d, systematic %d of %d\n", elements.size(),
                run.meanChi2, run.chi2High, run.systematic, run.samples);
    EXPECT_NEAR(run.meanChi2, 1.0, 0.15);
    EXPECT_DOUBLE_EQ(run.meanChi2, run.meanAfterSpill);
    EXPECT_EQ(run.chi2High, 0);
    EXPECT_LE(run.systematic, 3);
  }
  // Eight neighbours with the usual windows: K-beta lines spill into the
  // next element's window. The fit's residual shows the bias; the tests
  // of the model, made after it, stay quiet.
  const MixtureRun run = runMixtures(kEightUsual, 500, 12);
  std::printf(
      "eight neighbours, usual windows: mean chi2r %.3f (%.3f after the spill), chi2_high %d, "
      "systematic %d, negative %d of %d\n",
      run.meanChi2, run.meanAfterSpill, run.chi2High, run.systematic, run.negative, run.samples);
  EXPECT_NEAR(run.meanAfterSpill, 1.0, 0.15);
  EXPECT_GT(run.meanChi2, run.meanAfterSpill);
  EXPECT_LE(run.chi2High, 5);     // at most 1 %
  EXPECT_LE(run.systematic, 10);  // at most 2 %
}

TEST(FitQuality, TheSpillFlagFiresExactlyWhereAStandardLeavesItsWindowIntoAnother) {
  const auto spillsOf = [](const std::vector<Element>& elements) {
    Loaded table(elements, 2048, 3);
    std::vector<std::string> pairs;
    const Outcome o = table.fitSample(table.poissonSample(std::vector<double>(elements.size(), 0.5), 4));
    for (const FitFlag& f : o.quality.flags)
      if (f.kind == FitFlagKind::WindowSpill)
        pairs.push_back(elements[static_cast<size_t>(f.standard)].name + ">" +
                        elements[static_cast<size_t>(f.otherStandard)].name);
    EXPECT_EQ(o.quality.flags.size() - pairs.size(),
              static_cast<size_t>(countFlags(o.quality, FitFlagKind::SystematicResidual) +
                                  countFlags(o.quality, FitFlagKind::NegativeKratio)));
    return pairs;
  };
  EXPECT_TRUE(spillsOf(kTable({"Ti", "Fe", "Zn"}, false)).empty());  // far apart
  EXPECT_TRUE(spillsOf(kTable({"Ti", "Fe", "Zn"}, true)).empty());
  EXPECT_TRUE(spillsOf(kTable({"Mn", "Fe", "Co"}, true)).empty());  // overlapping, each holding its lines
  const auto usual = spillsOf(kEightUsual);
  for (const char* expected : {"Cr>Mn", "Mn>Fe", "Fe>Co", "Co>Ni", "Ni>Cu", "Cu>Zn"})
    EXPECT_NE(std::find(usual.begin(), usual.end(), expected), usual.end()) << expected;
  // Only where a line of the spilling standard lies within the filter's
  // reach (16 channels and 3 sigma) of the other's window, outside its own.
  for (const std::string& pair : usual) {
    const Element *from = nullptr, *into = nullptr;
    for (const Element& e : kEightUsual) {
      if (pair.substr(0, pair.find('>')) == e.name) from = &e;
      if (pair.substr(pair.find('>') + 1) == e.name) into = &e;
    }
    ASSERT_TRUE(from && into);
    bool reaches = false;
    for (const Line& l : from->lines) {
      const double reach = 16 + 3 * l.sigma;
      reaches = reaches || (l.centre + reach > into->low && l.centre - reach < into->high &&
                            (l.centre + reach > from->high || l.centre - reach < from->low));
    }
    EXPECT_TRUE(reaches) << pair;
  }

  // The flag names both standards and where the spill lies.
  Loaded table(kTable({"Mn", "Fe"}, false), 2048, 5);
  const FitQualityPlan plan(*table.fit);
  ASSERT_EQ(plan.spills().size(), 1u);
  const FitFlag& f = plan.spills()[0];
  EXPECT_EQ(f.index, 2);
  EXPECT_EQ(f.otherIndex, 3);
  EXPECT_GE(f.firstChannel, table.fit->SelectedCopy[1].fitLowCh());
  EXPECT_LT(f.lastChannel, table.fit->SelectedCopy[1].fitHighCh());
  EXPECT_GE(f.firstChannel, table.fit->SelectedCopy[0].fitHighCh());
  EXPECT_EQ(fitFlagText(f, *table.fit, 1.0).substr(0, 55), "Mn: its spectrum spills into the Fe window beyond their");
}

// The generic three-element table of well separated lines.
const std::vector<Element> kSeparate = {
    {"", {{300, 3000}}, 265, 335}, {"", {{480, 4000}}, 445, 515}, {"", {{660, 2500}}, 625, 695}};
const std::vector<double> kRatios = {0.4, 1.1, 0.7};

// The first element carries a second line on the second element's line,
// inside that element's window, which the per-window model cannot carry: Poisson samples raise
// the literal reduced chi-square well above that of separate lines, the
// plan names the spill, and the chi-square after the spill stays near 1.
TEST(FitQuality, LinesSpillingPastTheWindowsBiasTheChiSquareUpwards) {
  const std::vector<Element> spilling = {{"", {{300, 3000}, {480, 900}}, 265, 335}, kSeparate[1], kSeparate[2]};
  Loaded separate(kSeparate, 2048, 21), spilled(spilling, 2048, 21);
  EXPECT_TRUE(FitQualityPlan(*separate.fit).spills().empty());
  ASSERT_EQ(FitQualityPlan(*spilled.fit).spills().size(), 1u);
  double exact = 0.0, exactAfter = 0.0, biased = 0.0, biasedAfter = 0.0;
  const int samples = 100;
  for (int i = 0; i < samples; ++i) {
    const uint64_t seed = 700 + static_cast<uint64_t>(i);
    const FitQuality a = separate.fitSample(separate.poissonSample(kRatios, seed)).quality;
    const FitQuality b = spilled.fitSample(spilled.poissonSample(kRatios, seed)).quality;
    exact += a.chi2Reduced / samples;
    exactAfter += a.chi2ReducedAfterSpill / samples;
    biased += b.chi2Reduced / samples;
    biasedAfter += b.chi2ReducedAfterSpill / samples;
  }
  std::printf("spilling line: mean chi2r %.2f (%.2f after the spill); separate lines %.2f (%.2f)\n", biased,
              biasedAfter, exact, exactAfter);
  EXPECT_GT(biased, 1.5 * exact);
  EXPECT_NEAR(exact, 1.0, 0.2);
  EXPECT_DOUBLE_EQ(exact, exactAfter);
  EXPECT_NEAR(biasedAfter, 1.0, 0.2);
}

TEST(FitQuality, ALineMissingFromTheStandardsRaisesTheChiSquare) {
  Loaded table(kSeparate, 1024, 1);
  for (uint64_t seed = 1; seed <= 20; ++seed) {
    // A line no standard carries, inside a window.
    const Outcome o = table.fitSample(table.poissonSample(kRatios, seed, 0.0, {{500, 1500}}));
    EXPECT_TRUE(hasFlag(o.quality, FitFlagKind::Chi2High)) << seed;
    EXPECT_GT(o.quality.chi2Reduced, 3.0);
  }
  // With the usual windows of eight neighbours, Mn's lines in a sample
  // fitted without a Mn standard are not explained by the spill.
  auto withoutMn = kEightUsual;
  const Element mn = withoutMn[2];
  withoutMn.erase(withoutMn.begin() + 2);
  Loaded eight(withoutMn, 2048, 2);
  int caught = 0;
  for (uint64_t seed = 1; seed <= 10; ++seed) {
    auto lines = mn.lines;
    const Outcome o = eight.fitSample(eight.poissonSample({0, 0.5, 0.5, 0, 0, 0, 0}, seed, 0.0, lines));
    caught += hasFlag(o.quality, FitFlagKind::Chi2High) || hasFlag(o.quality, FitFlagKind::SystematicResidual);
  }
  EXPECT_EQ(caught, 10);
}

TEST(FitQuality, AStandardOfTheWrongElementIsASystematicResidualInItsWindow) {
  auto standards = kSeparate;
  standards[1].lines = {{492, 4000}};  // the neighbouring element's line, 12 channels off
  Loaded table(standards, 1024, 1);
  for (uint64_t seed = 1; seed <= 10; ++seed) {
    Loaded truth(kSeparate, 1024, 1);
    const Outcome o = table.fitSample(truth.poissonSample(kRatios, seed));
    bool inItsWindow = false;
    for (const FitFlag& f : o.quality.flags)
      inItsWindow = inItsWindow || (f.kind == FitFlagKind::SystematicResidual && f.standard == 1 && f.index == 3);
    EXPECT_TRUE(inItsWindow) << seed;
  }
}

TEST(FitQuality, AShiftedCalibrationIsFlagged) {
  Loaded table(kSeparate, 1024, 1);
  for (uint64_t seed = 1; seed <= 10; ++seed) {
    const Outcome o = table.fitSample(table.poissonSample(kRatios, seed, 2.0));
    EXPECT_TRUE(hasFlag(o.quality, FitFlagKind::SystematicResidual)) << seed;
  }
}

TEST(FitQuality, AMissingElementIsNotDetectedAndAnInvertedOneIsANegativeKRatio) {
  Loaded table(kSeparate, 1024, 1);
  // The sample has no line of the second element.
  const Outcome absent = table.fitSample(table.poissonSample({0.4, 0.0, 0.7}, 5));
  EXPECT_TRUE(absent.quality.notDetected[1]);
  EXPECT_FALSE(absent.quality.notDetected[0]);
  EXPECT_FALSE(hasFlag(absent.quality, FitFlagKind::NegativeKratio));
  // A dip where the element's line would be: a K-ratio far below zero.
  const Outcome dip = table.fitSample(table.poissonSample({0.4, -0.05, 0.7}, 5));
  EXPECT_TRUE(hasFlag(dip.quality, FitFlagKind::NegativeKratio));
  EXPECT_LT(dip.kratios[1], -dip.errors[1]);
}

TEST(FitQuality, TheResidualCurveCoversTheWindowsAndSkipsWhatTheFilterDidNotWrite) {
  // A window reaching past the sample's end: those channels carry no sigma.
  std::vector<Element> elements = kSeparate;
  elements[2].high = 1100;
  Loaded table(elements, 1024, 1);
  const Outcome o = table.fitSample(table.poissonSample(kRatios, 9));
  ASSERT_TRUE(o.quality.valid);
  ASSERT_EQ(o.quality.channels.size(), o.quality.residual.size());
  ASSERT_EQ(o.quality.channels.size(), o.quality.sigma.size());
  EXPECT_EQ(o.quality.channels.front(), 265);
  EXPECT_EQ(o.quality.channels.back(), 1099);
  for (size_t i = 0; i < o.quality.channels.size(); ++i)
    if (o.quality.channels[i] >= 1024) {
      EXPECT_EQ(o.quality.sigma[i], 0.0) << o.quality.channels[i];
    }
  EXPECT_LT(o.quality.chi2Reduced, kChi2ReducedLimit);
}

// The residual's standard deviation per channel: the filtered sample's
// counting noise plus each standard's, scaled by its K-ratio squared. The
// top-hat's weights are +-1, so a channel's filtered variance is the sum
// of the counts of its 32 window channels (i-17 .. i+14).
TEST(FitQuality, TheResidualsNoiseHoldsTheStandardsScaledByTheirKRatiosSquared) {
  Loaded table(kTable({"Ti", "Fe", "Zn"}, true), 2048, 5);
  const std::vector<int32_t> sample = table.poissonSample({0.3, 0.6, 0.15}, 6);
  const Outcome o = table.fitSample(sample);
  ASSERT_TRUE(o.quality.valid);
  const auto windowSum = [](const std::vector<int32_t>& counts, int32_t i) {
    double v = 0.0;
    for (int32_t c = std::max(i - 17, 0); c <= i + 14 && c < static_cast<int32_t>(counts.size()); ++c)
      v += std::max(counts[static_cast<size_t>(c)], 0);
    return v;
  };
  ASSERT_FALSE(o.quality.channels.empty());
  for (size_t row = 0; row < o.quality.channels.size(); ++row) {
    const int32_t c = o.quality.channels[row];
    double variance = windowSum(sample, c);
    for (int k = 0; k < 3; ++k) {
      const double kratio = o.kratios[static_cast<size_t>(k)] / 100.0;
      variance += kratio * kratio * windowSum(table.standardCounts(k), c);
    }
    ASSERT_NEAR(o.quality.sigma[row], std::sqrt(variance), 1e-9 * std::sqrt(variance)) << "channel " << c;
  }
}

TEST(FitQuality, TextsOfTheFlagsAndTheLine) {
  XfitWorkspace fit;
  fit.FitCount = 2;
  fit.SelectedCopy[0].setElemName("Fe");
  fit.SelectedCopy[1].setElemName("Cu");
  FitQuality q;
  q.valid = true;
  q.chi2Reduced = q.chi2ReducedAfterSpill = 1.07;
  EXPECT_EQ(fitQualityLine(q, fit), "χ²ᵣ 1.07, no flags");
  q.notDetected[1] = true;
  EXPECT_EQ(fitQualityLine(q, fit), "χ²ᵣ 1.07, no flags; not detected: Cu");
  q.chi2Reduced = q.chi2ReducedAfterSpill = 4.2;
  q.flags = {{FitFlagKind::SystematicResidual, 7, 0}, {FitFlagKind::Chi2High, -1, -1}};
  EXPECT_EQ(fitQualityLine(q, fit),
            "χ²ᵣ 4.20, Fe: systematic residual in its window; a line in the sample is not in the standards; "
            "not detected: Cu");
  EXPECT_EQ(fitFlagText(q.flags[1], fit, q.chi2Reduced), "χ²ᵣ 4.20 > 3: a line in the sample is not in the standards");
  EXPECT_STREQ(fitFlagKindName(FitFlagKind::NegativeKratio), "negative_kratio");
  q.notDetected[1] = false;
  q.chi2ReducedAfterSpill = 0.98;
  q.flags = {{FitFlagKind::WindowSpill, 7, 0, 9, 1, 640, 655}};
  EXPECT_EQ(fitQualityLine(q, fit),
            "χ²ᵣ 4.20 (0.98 without the spill's bias), Fe: its spectrum spills into the Cu window beyond their "
            "overlap (channels 640-655); K-ratios of Fe and Cu may be biased");
}

}  // namespace
}  // namespace tolvane
