// tolvane-cli quant on files made here: K-ratios from a table's fit taken
// per live time and per beam current, the conditions file, and refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <regex>

#include "cli/cli_runner.h"
#include "files/spectrum_file.h"
#include "test_support.h"
#include "xfit/standard_table.h"

namespace tolvane {
namespace {

using testing::runCli;

constexpr int kChannels = 1024;
constexpr double kCaCentre = 369.0, kCrCentre = 541.0;

// Gaussian peaks of the given heights on a flat background.
void writeSpectrum(const std::string& path, double caHeight, double crHeight, int32_t liveTenths) {
  std::vector<int32_t> counts(kChannels);
  for (int c = 0; c < kChannels; ++c)
    counts[static_cast<size_t>(c)] = static_cast<int32_t>(
        std::lround(caHeight * std::exp(-0.5 * std::pow((c - kCaCentre) / 5.0, 2)) +
                    crHeight * std::exp(-0.5 * std::pow((c - kCrCentre) / 5.0, 2))));
  SpectrumFileHeader h;
  h.setChannelCount(static_cast<int16_t>(kChannels));
  h.setLiveTime(liveTenths);
  testing::writeFileBytes(path, encodeSpectrumFile(h, counts.data(), kChannels));
}

struct Folder {
  Folder() {
    writeSpectrum(dir.path("ca.dat"), 100000, 0, 1000);
    writeSpectrum(dir.path("cr.dat"), 0, 100000, 1000);
    StandardTable table;
    const char* names[] = {"Ca", "Cr"};
    const char* files[] = {"ca.dat", "cr.dat"};
    const double centres[] = {kCaCentre, kCrCentre};
    for (int k = 0; k < 2; ++k) {
      StandardRecord& r = table.Records[static_cast<size_t>(k)];
      r.setInUse(1);
      r.setElemName(names[k]);
      r.setSpecFile(files[k]);
      r.setFitLowCh(static_cast<int32_t>(centres[k]) - 20);
      r.setFitHighCh(static_cast<int32_t>(centres[k]) + 20);
    }
    EXPECT_TRUE(SaveStandardTableFile(table, dir.path("t.ref")));
  }
  void conditions(const std::string& text) { std::ofstream(dir.path("t.quant")) << text; }
  testing::TempDir dir;
};

// The wt% of an element in quant's JSON.
double wtOf(const std::string& json, const std::string& element) {
  const std::regex pattern("\"element\": \"" + element + "\"[^}]*\"wt_pct\": ([-0-9.e]+)");
  std::smatch m;
  if (!std::regex_search(json, m, pattern)) return std::nan("");
  return std::stod(m[1]);
}

TEST(QuantCli, TheFitsKRatiosPerLiveTimeAndCurrentGiveTheSameAnswerAsGivenKRatios) {
  Folder f;
  const auto direct = runCli({"quant", "--kratios", "Ca=0.25,Cr=0.5", "--json"});
  ASSERT_EQ(direct.status, 0) << direct.err;
  const double ca = wtOf(direct.out, "Ca"), cr = wtOf(direct.out, "Cr");
  EXPECT_NEAR(ca + cr, 100.0, 1e-6);
  EXPECT_NE(direct.out.find("\"iterations\": "), std::string::npos);
  EXPECT_NE(direct.out.find("\"converged\": true"), std::string::npos);
  EXPECT_NE(direct.out.find("\"wt_err\": "), std::string::npos);

  // The same K-ratios counted for half the live time: per live time the
  // counts are what they were.
  writeSpectrum(f.dir.path("s.dat"), 12500, 25000, 500);
  const auto halfTime = runCli({"quant", f.dir.path("s.dat"), f.dir.path("t.ref"), "--json"});
  ASSERT_EQ(halfTime.status, 0) << halfTime.err;
  EXPECT_NEAR(wtOf(halfTime.out, "Ca"), ca, 0.01);
  EXPECT_NEAR(wtOf(halfTime.out, "Cr"), cr, 0.01);

  // Twice the counts at twice the beam current of the standards.
  writeSpectrum(f.dir.path("s2.dat"), 50000, 100000, 1000);
  f.conditions("source fe55\nsample_ua 200\nstandard Ca Ca 100\nstandard Cr Cr 100\n");
  const auto twiceCurrent = runCli({"quant", f.dir.path("s2.dat"), f.dir.path("t.ref"), "--json"});
  ASSERT_EQ(twiceCurrent.status, 0) << twiceCurrent.err;
  EXPECT_NEAR(wtOf(twiceCurrent.out, "Ca"), ca, 0.01);
  EXPECT_NEAR(wtOf(twiceCurrent.out, "Cr"), cr, 0.01);
}

TEST(QuantCli, BatchWtColumnsAgreeWithQuantOfEachSample) {
  Folder f;
  f.conditions("source fe55\nbalance normalise\n");
  writeSpectrum(f.dir.path("s1.dat"), 25000, 50000, 1000);
  writeSpectrum(f.dir.path("s2.dat"), 60000, 20000, 1000);
  const auto batch = runCli({"xfit", "--batch", f.dir.path("t.ref"), f.dir.path("s1.dat"), f.dir.path("s2.dat"),
                             f.dir.path("missing.dat"), "--quant"});
  EXPECT_EQ(batch.status, 1);  // the missing file
  const std::string header = batch.out.substr(0, batch.out.find('\n'));
  EXPECT_NE(header.find(",Ca_wt_pct,Cr_wt_pct,wt_total,quant_converged"), std::string::npos) << header;
  const std::regex row(R"(s(\d)\.dat,.*,([0-9.]+),([0-9.]+),([0-9.]+),1\n)");
  int rows = 0;
  for (std::sregex_iterator it(batch.out.begin(), batch.out.end(), row), end; it != end; ++it, ++rows) {
    const std::string sample = f.dir.path("s" + (*it)[1].str() + ".dat");
    const auto single = runCli({"quant", sample, f.dir.path("t.ref"), "--json"});
    ASSERT_EQ(single.status, 0) << single.err;
    EXPECT_NEAR(std::stod((*it)[2]), wtOf(single.out, "Ca"), 1e-3);
    EXPECT_NEAR(std::stod((*it)[3]), wtOf(single.out, "Cr"), 1e-3);
  }
  EXPECT_EQ(rows, 2) << batch.out;
  // The missing file's row keeps its wt% cells empty.
  EXPECT_NE(batch.out.find(",,,,\n"), std::string::npos) << batch.out;
  EXPECT_EQ(runCli({"xfit", f.dir.path("s1.dat"), f.dir.path("t.ref"), "--quant"}).status, 2);
}

TEST(QuantCli, ElementsTheBeamCannotExciteAreFlaggedNotZero) {
  const auto forward = runCli({"quant", "--forward", "Ti=40,Fe=60", "--source", "fe55", "--json"});
  ASSERT_EQ(forward.status, 0) << forward.err;
  EXPECT_NE(forward.out.find("\"element\": \"Fe\", \"line\": \"Ka\", \"kratio\": null"), std::string::npos)
      << forward.out;
  EXPECT_NE(forward.out.find("\"excited\": false"), std::string::npos);
  const auto back = runCli({"quant", "--kratios", "Ti=0.5,Fe=0.2", "--json"});
  ASSERT_EQ(back.status, 0) << back.err;
  EXPECT_NE(back.out.find("\"wt_pct\": null, \"wt_err\": null, \"excited\": false"), std::string::npos) << back.out;
  EXPECT_NE(back.err.find("Fe Ka is not excited"), std::string::npos) << back.err;
  // Under a tube that reaches the Fe K edge it is measured.
  const auto tube = runCli({"quant", "--kratios", "Ti=0.5,Fe=0.2", "--tube", "Rh:30", "--json"});
  EXPECT_TRUE(std::isfinite(wtOf(tube.out, "Fe"))) << tube.out;
}

TEST(QuantCli, BadOptionsAndConditionsAreRefusedWithTheirReason) {
  Folder f;
  writeSpectrum(f.dir.path("s.dat"), 100, 100, 1000);
  const auto both = runCli({"quant", "--kratios", "Ca=0.2", "--source", "fe55", "--tube", "Rh:30"});
  EXPECT_EQ(both.status, 2);
  EXPECT_NE(both.err.find("exclude"), std::string::npos);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"quant", "--kratios", "Ca0.2"}, {"quant", "--kratios", "Xx=0.2"},
        {"quant", "--kratios", "Ca=0.2,Ca=0.3"}, {"quant", "--kratios", "Ca=0.2", "--tube", "Rh:300"},
        {"quant", "--kratios", "Ca=0.2", "--angles", "45"}, {"quant", "--kratios", "Ca=0.2", "--balance", "Qq"},
        {"quant", "--kratios", "Ca=0.2", "--standards", "Ca=TiO2"}, {"quant", "--forward", "Ca=0"}}) {
    const auto run = runCli(args);
    EXPECT_EQ(run.status, 2) << args.back() << ": " << run.err;
    EXPECT_FALSE(run.err.empty());
  }
  f.conditions("source fe55\nangles 45 95\n");
  const auto badFile = runCli({"quant", f.dir.path("s.dat"), f.dir.path("t.ref")});
  EXPECT_EQ(badFile.status, 1);
  EXPECT_NE(badFile.err.find("t.quant:2"), std::string::npos) << badFile.err;
  EXPECT_TRUE(badFile.out.empty());
}

}  // namespace
}  // namespace tolvane
