// The window's "Load Std" (and its MLSQ Fit), `tolvane-cli xfit` and
// `xfit --batch` read the standards by one rule and give the same answer:
// a standard shorter or longer than its header says is read as its whole
// blocks say (at most 4096 channels) with the same warning, and a missing
// standard or a folder in its place stops all three, naming it.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "cli/cli_runner.h"
#include "files/spectrum_file.h"
#include "handlers/xfit_handlers.h"
#include "test_support.h"
#include "xfit/standard_table.h"

namespace tolvane {
namespace {

using testing::runCli;

std::vector<int32_t> peak(int channels, double centre, double height) {
  std::vector<int32_t> counts(static_cast<size_t>(channels));
  for (int c = 0; c < channels; ++c)
    counts[static_cast<size_t>(c)] =
        10 + static_cast<int32_t>(std::lround(height * std::exp(-0.5 * std::pow((c - centre) / 5.0, 2))));
  return counts;
}

void writeSpectrum(const std::string& path, const std::vector<int32_t>& counts, int headerChannels) {
  SpectrumFileHeader h;
  h.setMakerText();
  h.setChannelCount(static_cast<int16_t>(headerChannels));
  testing::writeFileBytes(path, encodeSpectrumFile(h, counts.data(), static_cast<int>(counts.size())));
}

// The first number after "key": in a JSON or CSV text.
double numberAfter(const std::string& text, const std::string& key) {
  const size_t at = text.find(key);
  return at == std::string::npos ? std::nan("") : std::stod(text.substr(at + key.size()));
}

struct Answers {
  std::string window;  // the status field after Load Std
  bool windowLoaded = false;
  double windowFe = std::nan(""), windowCu = std::nan("");
  testing::CliRun single, batch;
};

// Fe and Cu standards (Fe's file as given), a sample of both, and the
// three answers.
Answers answers(const testing::TempDir& dir) {
  StandardTable table;
  const auto use = [&](int i, const char* element, const char* file, int32_t low, int32_t high) {
    StandardRecord& r = table.Records[static_cast<size_t>(i)];
    r.setInUse(1);
    r.setElemName(element);
    r.setSpecFile(file);
    r.setFitLowCh(low);
    r.setFitHighCh(high);
  };
  use(0, "Fe", "fe.dat", 270, 330);
  use(1, "Cu", "cu.dat", 570, 630);
  EXPECT_TRUE(SaveStandardTableFile(table, dir.path("t.ref")));
  writeSpectrum(dir.path("cu.dat"), peak(2048, 600, 1000), 2048);
  std::vector<int32_t> sample = peak(2048, 300, 600);
  const std::vector<int32_t> cu = peak(2048, 600, 400);
  for (size_t c = 0; c < sample.size(); ++c) sample[c] += cu[c];
  writeSpectrum(dir.path("s.dat"), sample, 2048);

  Answers a;
  testing::SimRig rig(0);
  Session& s = *rig.session;
  LoadStdClick(s, dir.path("t.ref"));
  a.window = s.Texts.Edit1;
  a.windowLoaded = s.StandardsLoaded == 1;
  if (a.windowLoaded) {
    s.Acquisition.ChannelCount = 2048;
    std::copy(sample.begin(), sample.end(), s.Working.Counts.begin());
    MLSQfitClick(s, [] { return std::string(); }, [] { return false; });
    a.windowFe = s.DataModule.Table.Records[0].kratioPct();
    a.windowCu = s.DataModule.Table.Records[1].kratioPct();
  }
  a.single = runCli({"xfit", dir.path("s.dat"), dir.path("t.ref"), "--json"});
  a.batch = runCli({"xfit", "--batch", dir.path("t.ref"), dir.path("s.dat")});
  return a;
}

void expectSameReadAsBlocks(const Answers& a, const std::string& warning) {
  EXPECT_EQ(a.window, "2: " + warning);
  ASSERT_TRUE(a.windowLoaded);
  EXPECT_EQ(a.single.status, 0) << a.single.err;
  EXPECT_EQ(a.batch.status, 0) << a.batch.err;
  EXPECT_NE(a.single.err.find(warning), std::string::npos) << a.single.err;
  EXPECT_NE(a.batch.err.find(warning), std::string::npos) << a.batch.err;
  EXPECT_NE(a.single.out.find(warning), std::string::npos) << "the JSON's warnings: " << a.single.out;
  // The same K-ratios, to the places the command line prints.
  EXPECT_NEAR(numberAfter(a.single.out, "\"kratio_pct\": "), a.windowFe, 0.01);
  EXPECT_NEAR(numberAfter(a.single.out.substr(a.single.out.find("\"Cu\"")), "\"kratio_pct\": "), a.windowCu, 0.01);
  const std::string row = a.batch.out.substr(a.batch.out.find('\n') + 1);
  EXPECT_NEAR(numberAfter(row, ","), a.windowFe, 0.01) << row;
  EXPECT_GT(a.windowFe, 50.0);  // a fit of the peak, not of an empty standard
  EXPECT_LT(a.windowFe, 70.0);
}

void expectSameRefusal(const Answers& a, const std::string& reason) {
  EXPECT_EQ(a.window, "0: Std No.1 (Fe) fe.dat: " + reason);
  EXPECT_FALSE(a.windowLoaded);
  for (const testing::CliRun* r : {&a.single, &a.batch}) {
    EXPECT_EQ(r->status, 1) << r->err;
    EXPECT_EQ(r->out.find("kratio"), std::string::npos) << r->out;
    EXPECT_NE(r->err.find("standard No.1 (Fe)"), std::string::npos) << r->err;
    EXPECT_NE(r->err.find("(" + reason + ")"), std::string::npos) << r->err;
  }
}

TEST(StandardsAgreement, AThousandChannelStandardIsReadAs512ChannelsWithAWarning) {
  testing::TempDir dir;
  writeSpectrum(dir.path("fe.dat"), peak(1000, 300, 1000), 1000);
  expectSameReadAsBlocks(answers(dir), "Fe: fe.dat read as 512 channels, its header says 1000");
}

TEST(StandardsAgreement, AHeaderSaying2048Over4096ChannelsIsReadAs4096WithAWarning) {
  testing::TempDir dir;
  writeSpectrum(dir.path("fe.dat"), peak(4096, 300, 1000), 2048);
  expectSameReadAsBlocks(answers(dir), "Fe: fe.dat read as 4096 channels, its header says 2048");
}

TEST(StandardsAgreement, AMissingStandardStopsAllThree) {
  testing::TempDir dir;
  expectSameRefusal(answers(dir), "no such file");
}

TEST(StandardsAgreement, AFolderInPlaceOfAStandardStopsAllThree) {
  testing::TempDir dir;
  std::filesystem::create_directory(dir.path("fe.dat"));
  expectSameRefusal(answers(dir), "is a folder");
}

}  // namespace
}  // namespace tolvane
