// tolvane-cli background, roi and export --background snip on a spectrum
// with a known continuum; the input file is only read.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "analysis/snip_background.h"
#include "cli/cli_runner.h"
#include "files/spectrum_file.h"
#include "test_support.h"

namespace tolvane {
namespace {

using testing::runCli;

// 1024 channels of 10 eV: a falling continuum and one peak at channel 590.
std::vector<int32_t> peakCounts() {
  std::vector<int32_t> y(1024);
  for (size_t c = 0; c < y.size(); ++c)
    y[c] = static_cast<int32_t>(std::lround(200.0 * std::exp(-static_cast<double>(c) / 400.0) +
                                            5e4 * std::exp(-0.5 * std::pow((static_cast<double>(c) - 590) / 6.2, 2))));
  return y;
}

std::string writeSpectrum(const testing::TempDir& dir, const std::string& name, bool calibrated) {
  const std::vector<int32_t> y = peakCounts();
  SpectrumFileHeader h;
  h.setMakerText();
  h.setChannelCount(1024);
  h.setCalibrationMarker(calibrated ? 0.0f : 1.0f);
  h.setGain(calibrated ? 0.01f : 0.0f);
  h.setLiveTime(600);
  h.setComment("raw");
  testing::writeFileBytes(dir.path(name), encodeSpectrumFile(h, y.data(), 1024));
  return dir.path(name);
}

TEST(BackgroundCli, WritesTheSnipBackgroundAsASpectrumFile) {
  testing::TempDir dir;
  const std::string in = writeSpectrum(dir, "s.dat", true);
  const std::vector<uint8_t> before = testing::readFileBytes(in);
  const testing::CliRun run = runCli({"background", in, "--out", dir.path("bg.dat"), "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  // 145 eV at 5.9 keV gives 138 eV at 5.1 keV, the middle: 2 x 13.8 channels, rounded up.
  EXPECT_NE(run.out.find("\"width\": 28"), std::string::npos) << run.out;
  const SpectrumFileRead bg = readSpectrumPath(dir.path("bg.dat"));
  ASSERT_TRUE(bg.ok());
  EXPECT_EQ(bg.header.comment(), "SNIP w=28 LLS s.dat");
  EXPECT_EQ(bg.header.liveTime(), 600);
  const std::vector<int32_t> y = peakCounts();
  const std::vector<double> expected = snipBackground(y.data(), 1024, {28, true, 0});
  for (size_t c = 0; c < 1024; ++c) ASSERT_EQ(bg.counts[c], std::lround(expected[c])) << c;
  // Under the peak the continuum, not the peak.
  EXPECT_NEAR(bg.counts[590], 200.0 * std::exp(-590.0 / 400.0), 3.0);
  EXPECT_EQ(testing::readFileBytes(in), before);
}

TEST(BackgroundCli, AWidthIsNeededWithoutACalibration) {
  testing::TempDir dir;
  const std::string in = writeSpectrum(dir, "s.dat", false);
  const testing::CliRun none = runCli({"background", in, "--out", dir.path("bg.dat"), "--json"});
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.out.find("\"code\": \"no_calibration\""), std::string::npos) << none.out;
  EXPECT_FALSE(std::filesystem::exists(dir.path("bg.dat")));
  EXPECT_EQ(runCli({"background", in, "--out", dir.path("bg.dat"), "--width", "20", "--smooth", "2", "--no-lls"}).status, 0);
  EXPECT_EQ(readSpectrumPath(dir.path("bg.dat")).header.comment(), "SNIP w=20 smooth 2 s.dat");
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--width", "0"}, {"--width", "5", "--fwhm-kev", "0.13"},
                                             {"--smooth", "-1", "--width", "5"}}) {
    std::vector<std::string> args{"background", in, "--out", dir.path("x.dat")};
    args.insert(args.end(), bad.begin(), bad.end());
    EXPECT_EQ(runCli(args).status, 2) << bad[0];
  }
}

TEST(BackgroundCli, RoiNetOverEitherBackground) {
  testing::TempDir dir;
  const std::string in = writeSpectrum(dir, "s.dat", true);
  const std::vector<int32_t> y = peakCounts();
  const testing::CliRun line = runCli({"roi", in, "570:611", "--json"});
  const testing::CliRun snip = runCli({"roi", in, "570:611", "--background", "snip", "--width", "36", "--json"});
  ASSERT_EQ(line.status, 0) << line.err;
  ASSERT_EQ(snip.status, 0) << snip.err;
  const std::vector<double> bg = snipBackground(y.data(), 1024, {36, true, 0});
  double gross = 0.0, under = 0.0;
  for (int c = 570; c < 611; ++c) gross += y[static_cast<size_t>(c)], under += bg[static_cast<size_t>(c)];
  char expected[64];
  std::snprintf(expected, sizeof expected, "\"net\": %.1f", std::round((gross - under) * 10.0) / 10.0);
  EXPECT_NE(snip.out.find(expected), std::string::npos) << snip.out << " expected " << expected;
  EXPECT_NE(snip.out.find("\"background\": \"snip\""), std::string::npos);
  EXPECT_NE(line.out.find("\"background\": \"line\""), std::string::npos);
  EXPECT_EQ(runCli({"roi", in, "611:570"}).status, 2);
  EXPECT_EQ(runCli({"roi", in, "0:10", "--background", "spline"}).status, 2);
}

TEST(BackgroundCli, ExportWritesTheBackgroundInPlaceOfTheCounts) {
  testing::TempDir dir;
  const std::string in = writeSpectrum(dir, "s.dat", true);
  ASSERT_EQ(runCli({"background", in, "--width", "30", "--out", dir.path("bg.dat")}).status, 0);
  ASSERT_EQ(runCli({"export", dir.path("bg.dat"), "--format", "csv", "--out", dir.path("bg.csv")}).status, 0);
  const testing::CliRun run =
      runCli({"export", in, "--format", "csv", "--background", "snip", "--width", "30", "--out", dir.path("s.csv")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(testing::readFileBytes(dir.path("s.csv")), testing::readFileBytes(dir.path("bg.csv")));
  EXPECT_EQ(runCli({"export", in, "--format", "csv", "--width", "30", "--out", dir.path("x.csv")}).status, 2);
}

}  // namespace
}  // namespace tolvane
