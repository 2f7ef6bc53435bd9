// tolvane-cli results a user can trust: the same key means the same thing
// in every command, units and full precision are given, a flat spectrum
// has no peak, and the documented JSON keys are there.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <regex>

#include "cli/cli_runner.h"
#include "files/spectrum_file.h"
#include "test_support.h"

namespace tolvane {
namespace {

using testing::runCli;

std::string writeCounts(const testing::TempDir& dir, const std::string& name, const std::vector<int32_t>& counts,
                        int32_t realTenths = 600, int32_t liveTenths = 600) {
  SpectrumFileHeader h;
  h.setChannelCount(static_cast<int16_t>(counts.size()));
  h.setRealTime(realTenths);
  h.setLiveTime(liveTenths);
  h.setPresetTime(realTenths);
  testing::writeFileBytes(dir.path(name), encodeSpectrumFile(h, counts.data(), static_cast<int>(counts.size())));
  return dir.path(name);
}

std::vector<int32_t> gaussian(int channels, double centre, double height, double sigma, int32_t floor = 10) {
  std::vector<int32_t> counts(static_cast<size_t>(channels));
  for (int c = 0; c < channels; ++c)
    counts[static_cast<size_t>(c)] =
        floor + static_cast<int32_t>(std::lround(height * std::exp(-0.5 * std::pow((c - centre) / sigma, 2))));
  return counts;
}

double number(const std::string& json, const std::string& key) {
  const std::smatch m = [&] {
    std::smatch found;
    std::regex_search(json, found, std::regex("\"" + key + "\": ([-0-9.eE+]+)"));
    return found;
  }();
  return m.empty() ? std::nan("") : std::stod(m[1]);
}

TEST(CliResults, FwhmChannelsMeanTheSameFromFwhmAndMnfit) {
  testing::TempDir dir;
  const std::string peak = writeCounts(dir, "mn.dat", gaussian(1024, 590, 5000, 6.4));
  const testing::CliRun fwhm = runCli({"fwhm", peak, "--cursor", "590", "--json"});
  const testing::CliRun mnfit = runCli({"mnfit", peak, "--cursor", "590", "--json"});
  ASSERT_EQ(fwhm.status, 0) << fwhm.err;
  ASSERT_EQ(mnfit.status, 0) << mnfit.err;
  EXPECT_EQ(number(fwhm.out, "fwhm_ch"), number(mnfit.out, "fwhm_ch")) << fwhm.out << mnfit.out;
  // The window's measure runs one channel short of the true width.
  EXPECT_NEAR(number(fwhm.out, "fwhm_ch") + 1, 2.3548 * 6.4, 0.3);
  // The fit's own width is one channel wider, and it is what becomes eV.
  EXPECT_NEAR(number(mnfit.out, "fit_width_ch") - number(mnfit.out, "fwhm_ch"), 1.0, 0.05);
  EXPECT_NEAR(number(mnfit.out, "fwhm_ev"), number(mnfit.out, "fit_width_ch") * number(mnfit.out, "ev_per_channel"),
              0.01);
  // The text output is the window's.
  const testing::CliRun text = runCli({"fwhm", peak, "--cursor", "590"});
  EXPECT_TRUE(std::regex_match(text.out, std::regex("Peak +590\\.00 Ch\\.\n +1[45]\\.[0-9][0-9] ch\n"))) << text.out;
}

TEST(CliResults, AFlatSpectrumOrASingleCountHasNoPeak) {
  testing::TempDir dir;
  std::vector<int32_t> single(4096, 0);
  single[2000] = 1;
  std::vector<int32_t> small = gaussian(1024, 300, 40, 3, 0);
  for (const auto& [name, counts] :
       {std::pair{"flat.dat", std::vector<int32_t>(4096, 100)}, std::pair{"single.dat", single}}) {
    const std::string path = writeCounts(dir, name, counts);
    for (const char* command : {"fwhm", "mnfit"}) {
      const testing::CliRun r = runCli({command, path, "--cursor", "2000", "--json"});
      EXPECT_EQ(r.status, 1) << name << " " << command << " " << r.out;
      EXPECT_NE(r.err.find("No peak"), std::string::npos) << r.err;
      EXPECT_NE(r.out.find("\"code\": \"no_peak\""), std::string::npos) << r.out;
    }
  }
  // A small but clear peak on an empty spectrum is still measured.
  EXPECT_EQ(runCli({"fwhm", writeCounts(dir, "small.dat", small), "--cursor", "300"}).status, 0);
}

TEST(CliResults, CalibGivesItsUnitAndFullPrecision) {
  const testing::CliRun r = runCli({"calib", "100", "1000", "1.1", "8.3", "--unit", "keV", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\"unit\": \"keV\""), std::string::npos) << r.out;
  const double exactGain = (8.3 - 1.1) / 900.0;
  EXPECT_DOUBLE_EQ(number(r.out, "gain_full"), exactGain);
  EXPECT_DOUBLE_EQ(number(r.out, "offset_full"), 8.3 - exactGain * 1000);
  EXPECT_EQ(static_cast<float>(number(r.out, "gain")), (8.3f - 1.1f) / 900.0f);
  EXPECT_EQ(runCli({"calib", "896", "128", "7.0", "1.0"}).out, "0.0078125 0\n");
  EXPECT_EQ(runCli({"calib", "1", "2", "3", "4", "--unit", "kiloelectronvolt"}).status, 2);
}

TEST(CliResults, InfoAsJsonAndRefusedFilesPrintNoHeader) {
  testing::TempDir dir;
  const std::string path = writeCounts(dir, "s.dat", gaussian(1024, 300, 100, 4), 50, 45);
  const testing::CliRun r = runCli({"info", path, "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* key : {"file", "maker", "channels", "started", "preset_time_s", "real_time_s", "live_time_s",
                          "calibration", "comment", "sample_id", "rois", "total_counts"})
    EXPECT_NE(r.out.find(std::string("\"") + key + "\": "), std::string::npos) << key << " in " << r.out;
  EXPECT_EQ(number(r.out, "channels"), 1024);
  EXPECT_EQ(number(r.out, "real_time_s"), 5.0);
  EXPECT_EQ(number(r.out, "live_time_s"), 4.5);
  EXPECT_NE(r.out.find("\"calibration\": null"), std::string::npos);
  // Tenths become seconds by a division: 594 tenths print as 59.4, not
  // 59.400000000000006.
  const testing::CliRun tenths = runCli({"info", writeCounts(dir, "t.dat", gaussian(1024, 300, 100, 4), 603, 594), "--json"});
  EXPECT_NE(tenths.out.find("\"real_time_s\": 60.3,"), std::string::npos) << tenths.out;
  EXPECT_NE(tenths.out.find("\"live_time_s\": 59.4,"), std::string::npos) << tenths.out;

  // A file whose header disagrees with its blocks: no header on stdout.
  std::vector<uint8_t> bytes = testing::readFileBytes(path);
  bytes.resize(1024 + 4 * 700);
  testing::writeFileBytes(dir.path("short.dat"), bytes);
  const testing::CliRun refused = runCli({"info", dir.path("short.dat")});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.out, "");
  EXPECT_NE(refused.err.find("header says 1024 channels, 512 found"), std::string::npos) << refused.err;
}

TEST(CliResults, RenderClampsHugeScrollsAtOnce) {
  testing::TempDir dir;
  const std::string path = writeCounts(dir, "s.dat", gaussian(1024, 300, 100, 4));
  const auto start = std::chrono::steady_clock::now();
  const testing::CliRun far = runCli({"render", path, "--out", dir.path("a.png"), "--scroll", "1000000"});
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(far.status, 0) << far.err;
  EXPECT_NE(far.err.find("clamped to 103 (the range is -103 to 103 for 1024 channels)"), std::string::npos) << far.err;
  // Clamped or not, the view ends at the spectrum's end.
  const testing::CliRun near = runCli({"render", path, "--out", dir.path("b.png"), "--scroll", "103"});
  EXPECT_EQ(far.out, near.out);
  EXPECT_LT(seconds, 60.0);  // a guard against an unclamped loop, not a timing
}

}  // namespace
}  // namespace tolvane
