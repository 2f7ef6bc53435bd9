// calib FILE --lines | --points: the table, the marked line, the file
// written with a quadratic term, and the refusals; the two-point form is
// left as it was.
#include <gtest/gtest.h>

#include "cli/cli_runner.h"
#include "files/spectrum_file.h"
#include "lines/synthetic_spectrum.h"
#include "test_support.h"

namespace tolvane {
namespace {

using testing::runCli;

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Ti, Mn, Cu and Zr at 10 eV per channel from -20 eV; the file's
// calibration is `gain`, `offset` (none when the gain is 0).
std::string lineFile(const testing::TempDir& dir, float gain, float offset) {
  test::SyntheticSpectrum synthetic(4096, {0.01, -0.02});
  for (const int z : {22, 25, 29, 40}) synthetic.addElement(z, 30000.0, 30.0);
  synthetic.addContinuum(20.0);
  const std::vector<int32_t> counts = synthetic.draw(5);
  SpectrumFileHeader h;
  h.setChannelCount(4096);
  h.setCalibrationMarker(gain == 0.0f ? 1.0f : 0.0f);
  h.setGain(gain);
  h.setOffset(offset);
  testing::writeFileBytes(dir.path("lines.dat"), encodeSpectrumFile(h, counts.data(), 4096));
  return dir.path("lines.dat");
}

TEST(CliCalibPoints, PointsGiveTheTableOfResidualsAndTheRms) {
  testing::TempDir dir;
  const std::string file = lineFile(dir, 0.01f, -0.02f);
  // The hand-worked line E = 1.3 c - 0.2 through 0:0, 1:1, 2:2, 3:4 (eV).
  const testing::CliRun r = runCli({"calib", file, "--points", "0:0,1:1, 2:2,3:4", "--unit", "eV"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(r.out, "#4               3.00      4.00000      3.70000       +0.3\n")) << r.out;
  EXPECT_TRUE(has(r.out, "gain 1.3 offset -0.2 (eV); RMS 0.3 eV over 4 points")) << r.out;
  EXPECT_TRUE(r.err.empty()) << r.err;  // four points for two terms: each can be judged
  const testing::CliRun three = runCli({"calib", file, "--points", "0:0,1:1,2:2", "--unit", "eV"});
  EXPECT_TRUE(has(three.err, "too few points to tell one that does not fit")) << three.err;
}

TEST(CliCalibPoints, LinesFromAStartThatIsOffGiveTheTrueScaleAndMarkAWrongLine) {
  testing::TempDir dir;
  const std::string file = lineFile(dir, 0.01006f, -0.045f);
  const testing::CliRun r = runCli({"calib", file, "--lines", "Ti Ka, Mn Ka, Cu Ka, Zr Ka, Cu Kb, Cr Kb"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(r.out, "Cr Kβ")) << r.out;
  EXPECT_TRUE(has(r.out, "does not fit")) << r.out;
  EXPECT_TRUE(has(r.err, "Cr Kβ does not fit the others")) << r.err;

  const testing::CliRun json = runCli({"calib", file, "--lines", "Ti Ka, Mn Ka, Cu Ka, Zr Ka, Sn Ka", "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_TRUE(has(json.out, "\"flagged\": 0,")) << json.out;
  EXPECT_TRUE(has(json.out, "\"not_found\": [\"Sn Kα\"]")) << json.out;
  // Without the wrong line: the spectrum's own 10 eV per channel from -20 eV.
  const auto number = [&](const std::string& key) {
    return std::stod(json.out.substr(json.out.find("\"" + key + "\": ") + key.size() + 4));
  };
  EXPECT_NEAR(number("gain"), 0.01, 2e-6);
  EXPECT_NEAR(number("offset"), -0.02, 0.003);
}

TEST(CliCalibPoints, AQuadraticWrittenIntoTheFileReadsBackAndATwoPointOneRemovesIt) {
  testing::TempDir dir;
  const std::string file = lineFile(dir, 0.01f, -0.02f);
  const testing::CliRun w =
      runCli({"calib", file, "--points", "100:1.001,1000:10.1,2000:20.4,3000:30.9", "--quadratic", "--write"});
  ASSERT_EQ(w.status, 0) << w.err;
  const SpectrumFileRead read = readSpectrumPath(file);
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(read.channels, 4096);
  EXPECT_NEAR(read.header.quadratic(), 1e-7, 1e-12);
  const testing::CliRun info = runCli({"info", file, "--json"});
  EXPECT_TRUE(has(info.out, "\"quadratic\": 1e-07")) << info.out;
  EXPECT_TRUE(has(runCli({"info", file}).out, ", quadratic 1e-07 keV per channel squared"));

  ASSERT_EQ(runCli({"calib", "100", "1000", "1", "10", "--write", file}).status, 0);
  EXPECT_EQ(readSpectrumPath(file).header.quadratic(), 0.0f);
  EXPECT_FALSE(has(runCli({"info", file, "--json"}).out, "quadratic"));
}

TEST(CliCalibPoints, Refusals) {
  testing::TempDir dir;
  const std::string bare = lineFile(dir, 0.0f, 0.0f);
  const testing::CliRun none = runCli({"calib", bare, "--lines", "Ti Ka, Mn Ka, Cu Ka"});
  EXPECT_EQ(none.status, 1);
  EXPECT_TRUE(has(none.err, "give --gain and --offset")) << none.err;
  // With a start given it goes on.
  EXPECT_EQ(runCli({"calib", bare, "--lines", "Ti Ka, Mn Ka, Cu Ka", "--gain", "0.01", "--offset", "-0.02"}).status, 0);

  EXPECT_EQ(runCli({"calib", bare, "--lines", "Ti Ka, Qq Ka"}).status, 2);
  EXPECT_EQ(runCli({"calib", bare, "--points", "1:2,3"}).status, 2);
  EXPECT_EQ(runCli({"calib", bare, "--points", "1:2", "--lines", "Ti Ka"}).status, 2);
  EXPECT_EQ(runCli({"calib", bare, "--points", "1:2,3:4", "--unit", "MeV"}).status, 2);
  const testing::CliRun same = runCli({"calib", bare, "--points", "5:1,5:2"});
  EXPECT_EQ(same.status, 1);
  EXPECT_TRUE(has(same.err, "too few distinct channels")) << same.err;
  // Nothing was written by any of them.
  EXPECT_EQ(readSpectrumPath(bare).header.calibrationMarker(), 1.0f);
}

}  // namespace
}  // namespace tolvane
