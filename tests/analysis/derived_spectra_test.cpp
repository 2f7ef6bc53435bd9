// Spectra added and subtracted by live time, the refusals that name the
// file at fault, and the variance file kept beside a net spectrum.
#include <gtest/gtest.h>

#include <numeric>

#include "analysis/spectrum_subtract.h"
#include "analysis/spectrum_sum.h"
#include "files/variance_file.h"
#include "test_support.h"

namespace tolvane {
namespace {

SpectrumPart part(const std::string& name, int32_t liveTenths, std::vector<int32_t> counts, float gain = 0.01f) {
  SpectrumPart p;
  p.name = name;
  p.counts = std::move(counts);
  p.header.setMakerText();
  p.header.setChannelCount(static_cast<int16_t>(p.counts.size()));
  p.header.setCalibrationMarker(gain == 0.0f ? 1.0f : 0.0f);
  p.header.setGain(gain);
  p.header.setOffset(-0.02f);
  p.header.setLiveTime(liveTenths);
  p.header.setRealTime(liveTenths + 5);
  p.header.setPresetTime(liveTenths + 5);
  p.header.setSampleId("S-1");
  return p;
}

TEST(SpectrumSubtract, ASpectrumMinusItselfIsZeroWithTwiceItsCountsAsVariance) {
  const SpectrumPart a = part("a.dat", 600, {0, 1, 7, 1000, 2147483647, 42});
  const SubtractedSpectrum net = subtractBackground(a, a);
  ASSERT_TRUE(net.spectrum.ok());
  EXPECT_DOUBLE_EQ(net.scale, 1.0);
  for (size_t c = 0; c < a.counts.size(); ++c) {
    EXPECT_EQ(net.spectrum.counts[c], 0);
    EXPECT_DOUBLE_EQ(net.spectrum.variance[c], 2.0 * a.counts[c]);
  }
  // The sample's header, with a comment that says what was done.
  EXPECT_EQ(net.spectrum.header.liveTime(), 600);
  EXPECT_EQ(net.spectrum.header.sampleId(), "S-1");
  EXPECT_EQ(net.spectrum.header.comment(), "a.dat-1.000xa.dat");
}

TEST(SpectrumSubtract, ScalesTheBackgroundByTheLiveTimes) {
  // 60 s of sample, 100 s of background: r = 0.6.
  const SubtractedSpectrum net =
      subtractBackground(part("sample.dat", 600, {100, 10, 0, -4}), part("a-long-background-name.dat", 1000, {50, 20, 5, 5}));
  ASSERT_TRUE(net.spectrum.ok());
  EXPECT_DOUBLE_EQ(net.scale, 0.6);
  EXPECT_EQ(net.spectrum.counts, (std::vector<int32_t>{70, -2, -3, -7}));
  EXPECT_DOUBLE_EQ(net.spectrum.variance[0], 100 + 0.36 * 50);
  EXPECT_DOUBLE_EQ(net.spectrum.variance[3], 0.36 * 5);  // a negative count adds nothing
  // The names do not fit the header's 31 characters: the brief form.
  EXPECT_EQ(net.spectrum.header.comment(), "net, bg x0.600");
  EXPECT_NE(net.spectrum.description.find("sample.dat - 0.600 x a-long-background-name.dat"), std::string::npos);
}

TEST(SpectrumSubtract, RefusesWhatCannotBeScaledOrDoesNotLineUp) {
  const SpectrumPart sample = part("s.dat", 600, {1, 2, 3, 4});
  const auto refusal = [&](const SpectrumPart& bg) { return subtractBackground(sample, bg).spectrum.refusal; };
  EXPECT_EQ(refusal(part("b.dat", 0, {1, 2, 3, 4})), DerivedSpectrum::Refusal::NoLiveTime);
  EXPECT_EQ(refusal(part("b.dat", 600, {1, 2, 3})), DerivedSpectrum::Refusal::ChannelsDiffer);
  EXPECT_EQ(refusal(part("b.dat", 600, {1, 2, 3, 4}, 0.02f)), DerivedSpectrum::Refusal::CalibrationsDiffer);
  EXPECT_EQ(refusal(part("b.dat", 600, {1, 2, 3, 4}, 0.0f)), DerivedSpectrum::Refusal::CalibrationsDiffer);
  EXPECT_EQ(subtractBackground(part("s.dat", 0, {1, 2, 3, 4}), sample).spectrum.refusal,
            DerivedSpectrum::Refusal::NoLiveTime);
  // A net count beyond 32 bits.
  EXPECT_EQ(subtractBackground(part("s.dat", 600, {-2147483647}), part("b.dat", 60, {2147483647})).spectrum.refusal,
            DerivedSpectrum::Refusal::CountOverflow);
  const std::vector<SpectrumPart> parts{sample, part("b.dat", 600, {1, 2, 3})};
  const SubtractedSpectrum d = subtractBackground(parts[0], parts[1]);
  EXPECT_EQ(describeRefusal(d.spectrum, parts), "b.dat has 3 channels, s.dat 4");
}

TEST(SpectrumSum, CountsAndTimesAdd) {
  const SpectrumPart a = part("a.dat", 600, {1, 2, 3});
  const SpectrumPart b = part("b.dat", 400, {10, 20, 30});
  const DerivedSpectrum s = sumSpectra({a, b, a});
  ASSERT_TRUE(s.ok());
  EXPECT_EQ(s.counts, (std::vector<int32_t>{12, 24, 36}));
  EXPECT_EQ(s.header.liveTime(), 1600);
  EXPECT_EQ(s.header.realTime(), 1615);
  EXPECT_EQ(s.header.presetTime(), 1615);
  EXPECT_EQ(s.header.gain(), 0.01f);
  EXPECT_EQ(s.header.comment(), "sum a.dat+b.dat+a.dat");
  EXPECT_TRUE(s.variance.empty());
}

TEST(SpectrumSum, RefusesNamingTheFileThatDisagrees) {
  const std::vector<SpectrumPart> parts{part("a.dat", 600, {1, 2}), part("b.dat", 600, {1, 2}),
                                        part("c.dat", 600, {1, 2}, 0.0101f)};
  const DerivedSpectrum s = sumSpectra(parts);
  EXPECT_EQ(s.refusal, DerivedSpectrum::Refusal::CalibrationsDiffer);
  EXPECT_EQ(s.part, 2);
  EXPECT_NE(describeRefusal(s, parts).find("c.dat has another energy calibration than a.dat"), std::string::npos);
  EXPECT_EQ(sumSpectra({}).refusal, DerivedSpectrum::Refusal::NoSpectra);
  EXPECT_EQ(sumSpectra({part("a.dat", 1, {2000000000}), part("b.dat", 1, {2000000000})}).refusal,
            DerivedSpectrum::Refusal::CountOverflow);
  EXPECT_EQ(sumSpectra({part("a.dat", 2000000000, {1}), part("b.dat", 2000000000, {1})}).refusal,
            DerivedSpectrum::Refusal::TimeOverflow);
  // Offsets a ten-thousandth of a channel apart still agree.
  SpectrumPart close = part("d.dat", 600, {1, 2});
  close.header.setOffset(-0.02f + 0.000001f);
  EXPECT_TRUE(sumSpectra({parts[0], close}).ok());
}

TEST(VarianceFile, BesideTheSpectrumAndReadBack) {
  EXPECT_EQ(variancePathFor("/x/net.dat"), "/x/net.var");
  EXPECT_EQ(variancePathFor("/x.y/net"), "/x.y/net.var");
  testing::TempDir dir;
  const std::vector<double> v{0.0, 1.5, 2.0 / 3.0, 1e9};
  ASSERT_TRUE(writeVarianceFile(dir.path("net.var"), v, "net.dat", "a - b"));
  const auto back = varianceBeside(dir.path("net.dat"), 4);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, v);  // bit for bit
  EXPECT_FALSE(varianceBeside(dir.path("net.dat"), 5));  // not this spectrum's
  EXPECT_FALSE(varianceBeside(dir.path("other.dat"), 4));
  const VarianceRead bad = readVariance("# head\n1\n2\n-3\n");
  EXPECT_EQ(bad.badLine, 4);
  EXPECT_EQ(readVariance("1\r\n2x\n").badLine, 2);
  EXPECT_EQ(readVariance("# only comments\n\n").variance.size(), 0u);
}

}  // namespace
}  // namespace tolvane
