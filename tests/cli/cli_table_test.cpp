// tolvane-cli table: tables made without the window follow the editor's
// rules, and xfit can use them.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "cli/cli_runner.h"
#include "files/spectrum_file.h"
#include "test_support.h"
#include "xfit/standard_table.h"

namespace tolvane {
namespace {

using testing::runCli;

void writePeak(const std::string& path, double centre) {
  std::vector<int32_t> counts(1024);
  for (int c = 0; c < 1024; ++c)
    counts[static_cast<size_t>(c)] =
        10 + static_cast<int32_t>(std::lround(1000 * std::exp(-0.5 * std::pow((c - centre) / 5.0, 2))));
  SpectrumFileHeader h;
  h.setChannelCount(1024);
  testing::writeFileBytes(path, encodeSpectrumFile(h, counts.data(), 1024));
}

TEST(TableCommand, MakesATableXfitCanUseWithTheEditorsRules) {
  testing::TempDir dir;
  writePeak(dir.path("std_fe.dat"), 300);
  writePeak(dir.path("std_cu.dat"), 600);
  const std::string table = dir.path("T.ref");
  ASSERT_EQ(runCli({"table", "new", table}).status, 0);
  EXPECT_EQ(testing::readFileBytes(table).size(), static_cast<size_t>(StandardTable::kFileSize));
  EXPECT_EQ(runCli({"table", "new", table}).status, 1);  // never replaced unasked
  EXPECT_EQ(runCli({"table", "new", table, "--force"}).status, 0);

  const testing::CliRun fe = runCli({"table", "add", table, "--element", "Iron-alloy", "--spectrum",
                                     dir.path("std_fe.dat"), "--window", "270:330", "--wt", "62.5"});
  EXPECT_EQ(fe.status, 0) << fe.err;
  EXPECT_EQ(fe.out, "0\n");
  EXPECT_NE(fe.err.find("cut to 7 characters: 'Iron-al'"), std::string::npos) << fe.err;
  EXPECT_EQ(runCli({"table", "add", table, "--element", "Cu", "--spectrum", "std_cu.dat", "--window", "570:630"}).out,
            "1\n");

  StandardTable read;
  ASSERT_EQ(ReadStandardTableFile(read, table), TableReadOutcome::Read);
  EXPECT_EQ(read.Records[0].elemName(), "Iron-al");
  EXPECT_EQ(read.Records[0].specFile(), "std_fe.dat");
  EXPECT_EQ(read.Records[0].inUse(), 1);
  EXPECT_EQ(read.Records[0].fitHighCh(), 330);
  EXPECT_EQ(read.Records[0].wtper(), 62.5f);

  const testing::CliRun shown = runCli({"table", "show", table, "--json"});
  EXPECT_EQ(shown.status, 0);
  EXPECT_NE(shown.out.find("{\"index\": 1, \"in_use\": true, \"element\": \"Cu\", \"spectrum\": \"std_cu.dat\", "
                           "\"low\": 570, \"high\": 630"),
            std::string::npos)
      << shown.out;
  EXPECT_EQ(testing::lineCount(runCli({"table", "show", table}).out), 2);

  // The table works for a fit at once.
  writePeak(dir.path("sample.dat"), 300);
  const testing::CliRun fit = runCli({"xfit", dir.path("sample.dat"), table, "--json"});
  EXPECT_EQ(fit.status, 0) << fit.err;
  EXPECT_NE(fit.out.find("\"kratio_pct\": 100"), std::string::npos) << fit.out;
}

TEST(TableCommand, RefusesWhatTheTableCannotHold) {
  testing::TempDir dir;
  writePeak(dir.path("s.dat"), 300);
  const std::string table = dir.path("T.ref");
  ASSERT_EQ(runCli({"table", "new", table}).status, 0);
  const auto add = [&](std::vector<std::string> extra) {
    std::vector<std::string> args{"table", "add", table, "--element", "Fe", "--spectrum", dir.path("s.dat")};
    args.insert(args.end(), extra.begin(), extra.end());
    return runCli(args);
  };
  EXPECT_EQ(add({"--window", "330:270"}).status, 2);
  EXPECT_NE(add({"--window", "0:1024"}).err.find("0 <= LO < HI <= 1023"), std::string::npos);
  EXPECT_EQ(add({"--window", "1:2", "--wt", "120"}).status, 2);
  // Standards are looked up by name in the table's folder.
  std::filesystem::create_directory(dir.path("elsewhere"));
  writePeak(dir.path("elsewhere/s.dat"), 300);
  writePeak(dir.path("elsewhere/o.dat"), 300);
  for (const char* other : {"elsewhere/s.dat", "elsewhere/o.dat"}) {
    const testing::CliRun r =
        runCli({"table", "add", table, "--element", "Fe", "--spectrum", dir.path(other), "--window", "1:2"});
    EXPECT_EQ(r.status, 1) << other;
    EXPECT_NE(r.err.find("the table's folder"), std::string::npos) << r.err;
  }
  for (int i = 0; i < StandardTable::kRecords; ++i) ASSERT_EQ(add({"--window", "270:330"}).status, 0) << i;
  const testing::CliRun full = add({"--window", "270:330"});
  EXPECT_EQ(full.status, 1);
  EXPECT_NE(full.err.find("a table holds 16 standards"), std::string::npos) << full.err;
  EXPECT_EQ(runCli({"table", "show", dir.path("s.dat")}).status, 1);  // not a table
  EXPECT_EQ(runCli({"table", "frob", table}).status, 2);
  EXPECT_EQ(runCli({"table", "show", table, "--element", "Fe"}).status, 2);
}

}  // namespace
}  // namespace tolvane
