// The standards table, its file, the top-hat filter and the MLSQ fit.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "records/little_endian.h"
#include "files/spectrum_file.h"
#include "handlers/xfit_handlers.h"
#include "test_support.h"
#include "xfit/standards_editor.h"
#include "xfit/xfit_batch.h"
#include "xfit/xfit_commands.h"

namespace tolvane {
namespace {

// A spectrum of `channels` channels: a Gaussian of `height` at `centre`
// (sigma 6 channels) over a flat `base`.
std::vector<int32_t> peak(int channels, double centre, double height, int32_t base = 20) {
  std::vector<int32_t> counts(static_cast<size_t>(channels));
  for (int c = 0; c < channels; ++c)
    counts[static_cast<size_t>(c)] =
        base + static_cast<int32_t>(std::lround(height * std::exp(-0.5 * std::pow((c - centre) / 6.0, 2))));
  return counts;
}

void writeSpectrum(const std::string& path, const std::vector<int32_t>& counts) {
  SpectrumFileHeader h;
  h.setMakerText();
  h.setChannelCount(static_cast<int16_t>(counts.size()));
  testing::writeFileBytes(path, encodeSpectrumFile(h, counts.data(), static_cast<int>(counts.size())));
}

void useStandard(StandardTable& t, int i, const char* element, const char* file, int32_t low, int32_t high) {
  StandardRecord& r = t.Records[static_cast<size_t>(i)];
  r.setInUse(1);
  r.setElemName(element);
  r.setSpecFile(file);
  r.setFitLowCh(low);
  r.setFitHighCh(high);
}

struct XfitRig {
  Session& s() { return *rig.session; }
  void sample(const std::vector<int32_t>& counts) {
    s().Acquisition.ChannelCount = static_cast<int32_t>(counts.size());
    std::copy(counts.begin(), counts.end(), s().Working.Counts.begin());
  }
  // Saves `table` as table.ref in the folder and loads it as "Load Std" does.
  void load(const StandardTable& table) {
    ASSERT_TRUE(SaveStandardTableFile(table, dir.path("table.ref")));
    LoadStdClick(s(), dir.path("table.ref"));
  }
  void fit() {
    MLSQfitClick(
        s(), [] { return std::string(); }, [] { return false; });
  }
  const StandardRecord& record(int i) { return s().DataModule.Table.Records[static_cast<size_t>(i)]; }
  testing::SimRig rig{0};
  testing::TempDir dir;
};

TEST(StandardTable, AFreshTableSavesSixteenBlankRecords) {
  testing::TempDir dir;
  StandardTable table;
  ASSERT_TRUE(SaveStandardTableFile(table, dir.path("fresh.ref")));
  const auto bytes = testing::readFileBytes(dir.path("fresh.ref"));
  ASSERT_EQ(bytes.size(), 2048u);
  for (int r = 0; r < 16; ++r) {
    const uint8_t* rec = bytes.data() + 128 * r;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(rec)), "       ");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(rec + 32)), "     ");
    EXPECT_EQ(loadF32(rec + 76), 1.0f);
    EXPECT_EQ(loadI32(rec + 40), 0);
  }
  EXPECT_EQ(table.TableLabel, " [ New File  ]");
}

TEST(StandardTable, ReadThenSaveKeepsEveryByteAndShortFilesReplaceOnlyTheirStart) {
  testing::TempDir dir;
  std::vector<uint8_t> image(2048);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);
  testing::writeFileBytes(dir.path("in.ref"), image);
  StandardTable table;
  ASSERT_EQ(ReadStandardTableFile(table, dir.path("in.ref")), TableReadOutcome::Read);
  ASSERT_TRUE(SaveStandardTableFile(table, dir.path("out.ref")));
  EXPECT_EQ(testing::readFileBytes(dir.path("out.ref")), image);

  testing::writeFileBytes(dir.path("short.ref"), std::vector<uint8_t>(200, 0));
  ASSERT_EQ(ReadStandardTableFile(table, dir.path("short.ref")), TableReadOutcome::Read);
  EXPECT_EQ(table.Records[1].bytes()[71], 0);           // byte 199 replaced
  EXPECT_EQ(table.Records[1].bytes()[72], image[200]);  // the rest kept
}

TEST(StandardTable, TheLabelNamesTheChosenFileEvenWhenItIsMissingAndCancelChangesNothing) {
  testing::TempDir dir;
  StandardTable table;
  EXPECT_EQ(ReadStandardTableFile(table, dir.path("steel.ref")), TableReadOutcome::Failed);
  EXPECT_EQ(table.TableLabel, "  [  steel.ref  ]");
  table.Records[0].setCf(3.0f);
  EXPECT_EQ(ReadStandardTableFile(table, ""), TableReadOutcome::Cancelled);
  EXPECT_EQ(table.TableLabel, "  [  steel.ref  ]");
  EXPECT_EQ(table.Records[0].cf(), 3.0f);
}

TEST(StandardTable, WtPercentSetsTheCorrectionFactorUnlessThereIsNoKRatio) {
  StandardTable table;
  table.Records[2].setKratioPct(20.0f);
  EXPECT_EQ(SetChemicalWtPercent(table, 2, 18.0f), WtPercentOutcome::CfSet);
  EXPECT_EQ(table.Records[2].cf(), 0.9f);
  EXPECT_EQ(SetChemicalWtPercent(table, 3, 18.0f), WtPercentOutcome::NoKRatio);  // no fit yet
  EXPECT_EQ(table.Records[3].wtper(), 18.0f);
  EXPECT_EQ(table.Records[3].cf(), 1.0f);
  table.Records[4].setElemName("Manganese");
  EXPECT_EQ(table.Records[4].elemName(), "Mangane");
  table.Records[4].setSpecFile(std::string(40, 'f'));
  EXPECT_EQ(table.Records[4].specFile(), std::string(31, 'f'));
}

TEST(TopHat, ChannelZeroUsesOnlyChannelsThatExistAndTheTailIsNotWritten) {
  std::vector<int32_t> in(kFitChannels, 0);
  for (int c = 0; c < 20; ++c) in[static_cast<size_t>(c)] = 1 << c % 10;
  std::vector<double> out(kFitChannels, 7.0), var(kFitChannels, 7.0);
  TopHatFilter(in.data(), out.data(), kFitChannels);
  TopHatVariance(in.data(), var.data(), kFitChannels);
  double expected = 0;
  for (int c = 0; c <= 6; ++c) expected += in[static_cast<size_t>(c)];   // centre lobe up to 6
  for (int c = 7; c <= 14; ++c) expected -= in[static_cast<size_t>(c)];  // right lobe
  EXPECT_EQ(out[0], expected);
  EXPECT_EQ(out[4081], 0.0);  // the last written output
  EXPECT_EQ(out[4082], 0.0);  // not written: zero, never stale
  EXPECT_EQ(var[4081], 0.0);
  // Running sums give the same bits as the 32-term loop written out.
  std::vector<int32_t> noisy(kFitChannels);
  std::mt19937 rng(3);
  for (auto& v : noisy) v = static_cast<int32_t>(rng() % 100000) - 20000;
  TopHatFilter(noisy.data(), out.data(), kFitChannels);
  TopHatVariance(noisy.data(), var.data(), kFitChannels);
  for (int i = 0; i <= 4081; ++i) {
    double f = 0, v = 0;
    for (int j = 0; j < 32; ++j) {
      const int c = i - 17 + j, cv = i - 16 + j;
      const double side = (j < 8 || j >= 24) ? -1.0 : 1.0;
      if (c >= 0) f += side * noisy[static_cast<size_t>(c)];
      if (cv >= 0 && cv < kFitChannels) v += side * side * noisy[static_cast<size_t>(cv)];
    }
    ASSERT_EQ(out[static_cast<size_t>(i)], f) << i;
    if (i <= 4080) {
      ASSERT_EQ(var[static_cast<size_t>(i)], v) << i;
    }
  }
}

TEST(Xfit, StandardSpectraAreReadInWholeBlocksUpTo4096Channels) {
  XfitRig r;
  writeSpectrum(r.dir.path("short.dat"), peak(1000, 300, 500));
  writeSpectrum(r.dir.path("long.dat"), peak(8192, 300, 500));
  StandardTable table;
  useStandard(table, 0, "Fe", "short.dat", 280, 320);
  r.load(table);
  EXPECT_EQ(r.s().DataModule.Fit.StdChannels, 512);
  EXPECT_EQ(r.s().Texts.Edit1, "1: Fe: short.dat read as 512 channels, its header says 1000");
  useStandard(table, 0, "Fe", "long.dat", 280, 320);
  r.load(table);
  EXPECT_EQ(r.s().DataModule.Fit.StdChannels, 4096);
  EXPECT_EQ(r.s().Texts.Edit1, "1: Fe: long.dat read as 4096 channels, its header says 8192");
  // Under one block there is no spectrum to fit: the load stops there.
  useStandard(table, 0, "Fe", "tiny.dat", 80, 120);
  XfitRig tiny;
  writeSpectrum(tiny.dir.path("tiny.dat"), peak(256, 100, 500));
  tiny.load(table);
  EXPECT_EQ(tiny.s().Texts.Edit1,
            "0: Std No.1 (Fe) tiny.dat: no whole block of 512 counts (its header says 256 channels)");
  EXPECT_EQ(tiny.s().StandardsLoaded, 0);
}

TEST(Xfit, LoadStdSetsRoisFromTheFirstRecordsAndShowsTheCount) {
  XfitRig r;
  for (const char* f : {"a.dat", "b.dat", "c.dat"}) writeSpectrum(r.dir.path(f), peak(1024, 300, 500));
  StandardTable table;
  useStandard(table, 0, "Fe", "a.dat", 100, 120);
  table.Records[1].setFitLowCh(7);  // not in use, but ROI 1 comes from record 1
  useStandard(table, 3, "Cr", "b.dat", 300, 320);
  useStandard(table, 5, "Ni", "c.dat", 500, 520);
  r.load(table);
  EXPECT_EQ(r.s().Texts.Edit1, "3");
  EXPECT_EQ(r.s().StandardsLoaded, 1);
  EXPECT_EQ(r.s().Rois.Entries[0].LowChannel, 100);
  EXPECT_EQ(r.s().Rois.Entries[1].LowChannel, 7);
  EXPECT_EQ(r.s().Rois.Entries[2].Colour, kBlue);
  EXPECT_EQ(r.s().Rois.Entries[2].Defined, 1);
  EXPECT_EQ(r.s().Rois.Entries[2].Shown, 0);
  EXPECT_EQ(r.s().Rois.SelectedRoi, 2);
  EXPECT_EQ(r.s().DataModule.Fit.SelectedIndex[2], 5);

  StandardTable none;
  XfitRig empty;
  empty.load(none);
  EXPECT_EQ(empty.s().Texts.Edit1, "0");
  EXPECT_EQ(empty.s().StandardsLoaded, 0);
  LoadStdClick(empty.s(), "");  // cancelled: nothing is loaded
  EXPECT_EQ(empty.s().Texts.Edit1, "0");
}

TEST(Xfit, ASampleEqualToAStandardIsOneHundredPercent) {
  XfitRig r;
  const auto fe = peak(2048, 640, 3000);
  writeSpectrum(r.dir.path("fe.dat"), fe);
  StandardTable table;
  useStandard(table, 4, "Fe", "fe.dat", 610, 670);
  r.load(table);
  r.sample(fe);
  r.fit();
  EXPECT_FLOAT_EQ(r.record(4).kratioPct(), 100.0f);
  EXPECT_GT(r.record(4).kratioErr(), 0.0f);
  EditorView view = initialEditorView();
  fillEditorView(r.s().DataModule.Table, false, view);
  EXPECT_EQ(view.rows[4].kratio.substr(0, 9), "   100.00");
}

TEST(Xfit, DisjointWindowsFitIndependently) {
  XfitRig r;
  writeSpectrum(r.dir.path("a.dat"), peak(2048, 400, 2000));
  writeSpectrum(r.dir.path("b.dat"), peak(2048, 1200, 1500));
  StandardTable table;
  useStandard(table, 0, "Cr", "a.dat", 370, 430);
  useStandard(table, 1, "Cu", "b.dat", 1170, 1230);
  r.load(table);
  auto sample = peak(2048, 400, 1000);
  const auto other = peak(2048, 1200, 4500, 0);
  for (size_t i = 0; i < sample.size(); ++i) sample[i] += other[i];
  r.sample(sample);
  r.fit();
  const XfitWorkspace& fit = r.s().DataModule.Fit;
  const int32_t windows[2][2] = {{370, 430}, {1170, 1230}};
  for (int i = 0; i < 2; ++i) {
    double diagonal = 0, rhs = 0;  // each standard's own sums, apart from the fit
    for (int32_t c = windows[i][0]; c < windows[i][1]; ++c) {
      const double s = fit.filteredStd(i)[c], v = fit.SampleVariance[static_cast<size_t>(c)];
      diagonal += s * s / v;
      rhs += s * fit.FilteredSample[static_cast<size_t>(c)] / v;
    }
    EXPECT_DOUBLE_EQ(fit.FitCoefficients[static_cast<size_t>(i)], rhs / diagonal);
  }
  EXPECT_NEAR(r.record(0).kratioPct(), 50.0, 1.0);
  EXPECT_NEAR(r.record(1).kratioPct(), 300.0, 3.0);
}

TEST(Xfit, AMixedNoisySampleRecoversEachKRatioWithinItsStatedError) {
  XfitRig r;
  const double centres[] = {500, 560, 640};
  const double ratios[] = {0.25, 0.6, 1.3};
  StandardTable table;
  const char* names[] = {"s0.dat", "s1.dat", "s2.dat"};
  for (int k = 0; k < 3; ++k) {
    writeSpectrum(r.dir.path(names[k]), peak(2048, centres[k], 20000, 0));
    useStandard(table, k, "El", names[k], static_cast<int32_t>(centres[k]) - 40, static_cast<int32_t>(centres[k]) + 40);
  }
  r.load(table);
  std::mt19937 rng(11);
  std::vector<int32_t> sample(2048);
  for (int c = 0; c < 2048; ++c) {
    double mean = 30;
    for (int k = 0; k < 3; ++k) mean += ratios[k] * 20000 * std::exp(-0.5 * std::pow((c - centres[k]) / 6.0, 2));
    sample[static_cast<size_t>(c)] = std::poisson_distribution<int32_t>(mean)(rng);
  }
  r.sample(sample);
  r.fit();
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(r.record(k).kratioPct(), ratios[k] * 100, r.record(k).kratioErr()) << k;
    EXPECT_LT(r.record(k).kratioErr(), 5.0f);
  }
}

TEST(Xfit, ASingularFitSaysSoAndWritesNoResults) {
  XfitRig r;
  writeSpectrum(r.dir.path("a.dat"), peak(1024, 300, 1000));
  StandardTable table;
  useStandard(table, 0, "Fe", "a.dat", 300, 320);
  useStandard(table, 1, "Fe", "a.dat", 300, 320);  // the same standard twice
  table.Records[0].setKratioPct(42.0f);
  r.load(table);
  r.sample(peak(1024, 300, 1000));
  r.fit();
  EXPECT_EQ(r.s().Texts.Edit1, "Xfit: singular standards");
  EXPECT_EQ(r.record(0).kratioPct(), 42.0f);
  EXPECT_TRUE(std::isfinite(r.record(1).kratioPct()));
}

TEST(Xfit, ALongSampleIsCutTo4096ChannelsAndTheBatchAgreesWithTheSingleFit) {
  XfitRig r;
  writeSpectrum(r.dir.path("a.dat"), peak(4096, 3000, 800));
  writeSpectrum(r.dir.path("b.dat"), peak(4096, 3030, 600));
  StandardTable table;
  useStandard(table, 0, "A", "a.dat", 2970, 3020);
  useStandard(table, 1, "B", "b.dat", 3000, 3060);  // overlapping windows
  r.load(table);
  std::vector<int32_t> sample(8192, 5);
  const auto a = peak(4096, 3000, 400, 0), b = peak(4096, 3030, 900, 0);
  for (int c = 0; c < 4096; ++c)
    sample[static_cast<size_t>(c)] += a[static_cast<size_t>(c)] + b[static_cast<size_t>(c)];
  r.sample(sample);
  r.fit();
  EXPECT_EQ(r.s().DataModule.Fit.SampleChannels, 4096);
  XfitBatch batch(r.s().DataModule.Fit);
  std::array<double, kMaxStandards> coefficients{}, errors{};
  ASSERT_TRUE(batch.fit(sample.data(), 8192, coefficients, errors));
  EXPECT_EQ(static_cast<float>(coefficients[0] * 100), r.record(0).kratioPct());
  EXPECT_EQ(static_cast<float>(coefficients[1] * 100), r.record(1).kratioPct());
  EXPECT_EQ(static_cast<float>(errors[1]), r.record(1).kratioErr());
}

TEST(StandardsEditor, RowsShowKRatiosOrWeightPercentAndTypedWtPercentSetsCf) {
  StandardTable table;
  EditorView view = initialEditorView();
  fillEditorView(table, false, view);
  EXPECT_EQ(view.header, " [ New File  ]");
  EXPECT_EQ(view.rows[0].caption, "Std No. 1");
  EXPECT_EQ(view.rows[9].caption, "Std No.10");
  EXPECT_EQ(view.rows[0].kratio, "Std1Kratio");
  EXPECT_FALSE(view.rows[0].checked);

  StandardRecord& fe = table.Records[0];
  fe.setElemName("Fe");
  fe.setSpecFile("fe.dat");
  fe.setKratioPct(12.5f);
  fe.setKratioErr(0.3f);
  fillEditorView(table, false, view);
  EXPECT_EQ(view.rows[0].caption, "Fe");
  EXPECT_EQ(view.rows[0].kratio, "    12.50  +/-    0.300");
  EXPECT_EQ(view.rows[0].kratio.size(), 23u);
  EXPECT_EQ(view.rows[0].cf, "   1.000");
  fe.setCf(2.0f);
  fillEditorView(table, true, view);
  EXPECT_EQ(view.kratioHeader, "Wt %");
  EXPECT_EQ(view.rows[0].kratio, "    25.00  +/-    0.600");

  fe.setCf(1.0f);
  fillEditorView(table, false, view);
  StdWtperChange(table, 0, "20");
  EXPECT_EQ(fe.wtper(), 20.0f);
  EXPECT_EQ(fe.cf(), 1.6f);
  EXPECT_EQ(view.rows[0].cf, "   1.000");  // the edit is not refreshed
  StdWtperChange(table, 0, "-");
  EXPECT_EQ(fe.wtper(), 20.0f);
  // The locale's decimal comma and the point are both taken.
  StdWtperChange(table, 0, "18,75", ',');
  EXPECT_EQ(fe.wtper(), 18.75f);
  StdWtperChange(table, 0, "17.5", ',');
  EXPECT_EQ(fe.wtper(), 17.5f);
  StdWtperChange(table, 0, "16,5");  // a comma where the locale has none
  EXPECT_EQ(fe.wtper(), 17.5f);
  StdWtperChange(table, 0, "1,5.5", ',');
  EXPECT_EQ(fe.wtper(), 17.5f);

  // Without a positive K-ratio the typed wt% is kept and Cf stays: 0 before
  // a fit, a negative one from a sample without the element (Cf would turn
  // every later wt% negative).
  for (const float kratio : {0.0f, -4.0f}) {
    fe.setKratioPct(kratio);
    fe.setCf(1.25f);
    StdWtperChange(table, 0, "30");
    EXPECT_EQ(fe.wtper(), 30.0f) << kratio;
    EXPECT_EQ(fe.cf(), 1.25f) << kratio;
  }
  fe.setKratioPct(20.0f);
  StdWtperChange(table, 0, "30");
  EXPECT_EQ(fe.cf(), 1.5f);
}

}  // namespace
}  // namespace tolvane

namespace tolvane {
namespace {

TEST(TopHat, OtherWidthsUseTheWeightedLoop) {
  std::vector<int32_t> in(kFitChannels);
  for (int c = 0; c < kFitChannels; ++c) in[static_cast<size_t>(c)] = (c * 37) % 101;
  std::vector<double> out(kFitChannels);
  TopHatFilter(in.data(), out.data(), 100, TopHatWidths{4, 16});  // side weight -2
  double expected = 0;
  for (int j = 0; j < 24; ++j) {
    const int c = 50 - 12 - 1 + j;
    expected += (j < 4 || j >= 20) ? -2.0 * in[static_cast<size_t>(c)] : in[static_cast<size_t>(c)];
  }
  EXPECT_EQ(out[50], expected);
  EXPECT_EQ(out[100], 0.0);  // past the spectrum
}

TEST(Xfit, AStandardCountedForAnotherLiveTimeIsNamedInTheStatusField) {
  XfitRig x;
  auto standard = peak(1024, 300, 1000);
  SpectrumFileHeader h;
  h.setChannelCount(1024);
  h.setLiveTime(600);  // 60 s
  testing::writeFileBytes(x.dir.path("fe.dat"), encodeSpectrumFile(h, standard.data(), 1024));
  StandardTable t;
  useStandard(t, 0, "Fe", "fe.dat", 270, 330);
  x.load(t);
  x.sample(peak(1024, 300, 500));
  x.s().Acquisition.LiveTime = 50;  // 5 s
  x.fit();
  EXPECT_EQ(x.s().Texts.Edit1, kLiveTimesDifferText);
  x.s().Texts.Edit1.clear();
  x.s().Acquisition.LiveTime = 600;
  x.fit();
  EXPECT_EQ(x.s().Texts.Edit1, "");
}

}  // namespace
}  // namespace tolvane
