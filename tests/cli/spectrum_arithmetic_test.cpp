// Spectra added and subtracted by live time, on runs of the simulated
// analyser and through tolvane-cli sum and subtract: a 60 s run plus a
// 40 s run has the statistics of a 100 s run, the raw files are only read,
// and a refused sum or subtraction writes nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "analysis/spectrum_subtract.h"
#include "analysis/spectrum_sum.h"
#include "cli/acquire_run.h"
#include "cli/cli_runner.h"
#include "device/mca_commands.h"
#include "files/spectrum_file.h"
#include "files/variance_file.h"
#include "handlers/mca_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

using testing::runCli;

// A run of `presetTenths` on a simulated analyser seeded `seed`, as the
// spectrum file acquire would write.
SpectrumPart simulatedRun(int32_t presetTenths, uint64_t seed, const std::string& name) {
  SimulatedAnalyserConfig config;
  config.seed = seed;
  testing::SimRig rig(1, config);
  rig.open();
  Session& s = *rig.session;
  s.Mca.PresetTime = s.Acquisition.PresetTime = presetTenths;
  EXPECT_EQ(SetPresetTime(s.Transport, s.Acquisition, presetTenths), LinkOutcome::Done);
  McaStartClick(s);
  cli::RunHooks hooks;
  hooks.waitOneTick = [&] { rig.clock.advanceMillis(kPollIntervalMillis); };
  EXPECT_EQ(cli::runToPreset(s, rig.clock, hooks), cli::RunEnd::PresetReached);
  SpectrumPart p;
  p.name = name;
  const int channels = s.Acquisition.ChannelCount;
  p.header = s.Working.Header;
  fillHeaderForWrite(s, p.header, channels);
  p.counts.assign(s.Working.Counts.begin(), s.Working.Counts.begin() + channels);
  return p;
}

double total(const std::vector<int32_t>& counts) {
  double sum = 0.0;
  for (const int32_t c : counts) sum += c;
  return sum;
}

struct Runs {
  SpectrumPart sixty = simulatedRun(600, 11, "r60.dat");
  SpectrumPart forty = simulatedRun(400, 12, "r40.dat");
  SpectrumPart hundred = simulatedRun(1000, 13, "r100.dat");
};

const Runs& runs() {
  static const Runs r;
  return r;
}

TEST(SpectrumArithmetic, SixtyPlusFortySecondsHasTheStatisticsOfAHundred) {
  const Runs& r = runs();
  const DerivedSpectrum sum = sumSpectra({r.sixty, r.forty});
  ASSERT_TRUE(sum.ok());
  EXPECT_EQ(sum.header.realTime(), r.hundred.header.realTime());
  EXPECT_EQ(sum.header.presetTime(), 1000);
  // The dead time is about 1 %; each live time is truncated to a tenth.
  EXPECT_NEAR(sum.header.liveTime(), r.hundred.header.liveTime(), 2);
  const double a = total(sum.counts), b = total(r.hundred.counts);
  ASSERT_GT(b, 100000.0);
  EXPECT_LT(std::fabs(a - b), 4.0 * std::sqrt(a + b));
  // Channel by channel the two differ by their Poisson noise only: the
  // chi-square per channel with counts is near 1.
  double chi2 = 0.0;
  int used = 0;
  for (size_t c = 0; c < sum.counts.size(); ++c) {
    const double n = sum.counts[c] + r.hundred.counts[c];
    if (n <= 0) continue;
    chi2 += std::pow(sum.counts[c] - r.hundred.counts[c], 2) / n;
    ++used;
  }
  ASSERT_GT(used, 500);
  EXPECT_NEAR(chi2 / used, 1.0, 5.0 * std::sqrt(2.0 / used)) << used << " channels";
}

TEST(SpectrumArithmetic, TheHundredMinusTheSumIsNoiseOfTheKeptVariance) {
  const Runs& r = runs();
  const DerivedSpectrum sum = sumSpectra({r.sixty, r.forty});
  SpectrumPart summed{sum.header, sum.counts, "sum.dat"};
  const SubtractedSpectrum net = subtractBackground(r.hundred, summed);
  ASSERT_TRUE(net.spectrum.ok());
  EXPECT_NEAR(net.scale, 1.0, 0.003);  // live times within two tenths of 99 s
  double netSum = 0.0, varSum = 0.0, chi2 = 0.0;
  int used = 0;
  for (size_t c = 0; c < net.spectrum.counts.size(); ++c) {
    const double v = net.spectrum.variance[c];
    netSum += net.spectrum.counts[c];
    varSum += v;
    if (v <= 0.0) continue;
    chi2 += std::pow(net.spectrum.counts[c], 2) / v;
    ++used;
  }
  EXPECT_LT(std::fabs(netSum), 4.0 * std::sqrt(varSum));
  EXPECT_NEAR(chi2 / used, 1.0, 5.0 * std::sqrt(2.0 / used));
}

void writePart(const testing::TempDir& dir, const SpectrumPart& p) {
  testing::writeFileBytes(dir.path(p.name),
                          encodeSpectrumFile(p.header, p.counts.data(), static_cast<int>(p.counts.size())));
}

TEST(SpectrumArithmeticCli, SumAndSubtractWriteNewFilesAndOnlyReadTheirInputs) {
  const Runs& r = runs();
  testing::TempDir dir;
  for (const SpectrumPart* p : {&r.sixty, &r.forty, &r.hundred}) writePart(dir, *p);
  const std::vector<uint8_t> raw60 = testing::readFileBytes(dir.path("r60.dat"));
  const std::vector<uint8_t> raw40 = testing::readFileBytes(dir.path("r40.dat"));

  const testing::CliRun sum = runCli({"sum", dir.path("r60.dat"), dir.path("r40.dat"), "--out", dir.path("s.dat")});
  ASSERT_EQ(sum.status, 0) << sum.err;
  const SpectrumFileRead s = readSpectrumPath(dir.path("s.dat"));
  ASSERT_TRUE(s.ok());
  EXPECT_EQ(s.counts, sumSpectra({r.sixty, r.forty}).counts);
  EXPECT_EQ(s.header.comment(), "sum r60.dat+r40.dat");

  const testing::CliRun sub =
      runCli({"subtract", dir.path("r100.dat"), dir.path("s.dat"), "--out", dir.path("net.dat"), "--json"});
  ASSERT_EQ(sub.status, 0) << sub.err;
  EXPECT_NE(sub.out.find("net.var"), std::string::npos) << sub.out;
  const SpectrumFileRead net = readSpectrumPath(dir.path("net.dat"));
  ASSERT_TRUE(net.ok());
  EXPECT_EQ(net.header.comment().rfind("r100.dat-", 0), 0u) << net.header.comment();
  const auto variance = varianceBeside(dir.path("net.dat"), net.counts.size());
  ASSERT_TRUE(variance);
  EXPECT_DOUBLE_EQ((*variance)[700], r.hundred.counts[700] + std::pow(r.hundred.header.liveTime() /
                                                                          static_cast<double>(s.header.liveTime()),
                                                                      2) *
                                                                 s.counts[700]);
  // roi takes the kept variance.
  const testing::CliRun roi = runCli({"roi", dir.path("net.dat"), "560:620", "--json"});
  EXPECT_NE(roi.out.find("\"variance_file\": true"), std::string::npos) << roi.out;

  EXPECT_EQ(testing::readFileBytes(dir.path("r60.dat")), raw60);
  EXPECT_EQ(testing::readFileBytes(dir.path("r40.dat")), raw40);
}

TEST(SpectrumArithmeticCli, RefusalsSayWhyAndWriteNothing) {
  const Runs& r = runs();
  testing::TempDir dir;
  writePart(dir, r.sixty);
  SpectrumPart other = r.forty;
  other.header.setCalibrationMarker(0.0f);
  other.header.setGain(0.0123f);
  writePart(dir, other);
  const testing::CliRun sum = runCli({"sum", dir.path("r60.dat"), dir.path("r40.dat"), "--out", dir.path("s.dat")});
  EXPECT_EQ(sum.status, 1);
  EXPECT_NE(sum.err.find("r40.dat has another energy calibration than r60.dat"), std::string::npos) << sum.err;
  EXPECT_FALSE(std::filesystem::exists(dir.path("s.dat")));
  const testing::CliRun sub =
      runCli({"subtract", dir.path("r60.dat"), dir.path("r40.dat"), "--out", dir.path("n.dat")});
  EXPECT_EQ(sub.status, 1);
  EXPECT_FALSE(std::filesystem::exists(dir.path("n.dat")));
  EXPECT_FALSE(std::filesystem::exists(dir.path("n.var")));
  EXPECT_EQ(runCli({"sum", dir.path("r60.dat"), "--out", dir.path("s.dat")}).status, 2);
  EXPECT_EQ(runCli({"subtract", dir.path("r60.dat"), dir.path("none.dat"), "--out", dir.path("n.dat")}).status, 1);
  // An input is never the output, by its name or through a link.
  const std::vector<uint8_t> raw = testing::readFileBytes(dir.path("r60.dat"));
  std::filesystem::create_symlink(dir.path("r60.dat"), dir.path("link.dat"));
  for (const auto& args : {std::vector<std::string>{"sum", dir.path("r60.dat"), dir.path("r60.dat"), "--out",
                                                    dir.path("r60.dat")},
                           std::vector<std::string>{"subtract", dir.path("r60.dat"), dir.path("r40.dat"), "--out",
                                                    dir.path("link.dat")},
                           std::vector<std::string>{"background", dir.path("r60.dat"), "--out", dir.path("r60.dat")}}) {
    const testing::CliRun over = runCli(args);
    EXPECT_EQ(over.status, 2) << args.front() << ": " << over.err;
    EXPECT_NE(over.err.find("the raw counts are kept"), std::string::npos) << over.err;
  }
  EXPECT_EQ(testing::readFileBytes(dir.path("r60.dat")), raw);
}

}  // namespace
}  // namespace tolvane
