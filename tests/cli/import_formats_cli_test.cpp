// tolvane-cli import tells the format from the content: the MCA text
// format, SPEC and text columns as well as EMSA/MSA, whatever the file is
// called; a malformed file is refused with its line and nothing is written.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/cli_runner.h"
#include "files/spectrum_file.h"
#include "test_support.h"

namespace tolvane {
namespace {

using testing::runCli;

std::string importSample(const std::string& name) {
  return std::string(TOLVANE_SOURCE_DIR) + "/tests/files/imports/" + name;
}

TEST(ImportFormatsCli, EachFormatWhateverItsExtension) {
  testing::TempDir dir;
  // The MCA text file under a name that says nothing of its format.
  std::filesystem::copy_file(importSample("pmca_dppmca.mca"), dir.path("spectrum.txt"));
  const testing::CliRun mca = runCli({"import", dir.path("spectrum.txt"), "--out", dir.path("a.dat"), "--json"});
  ASSERT_EQ(mca.status, 0) << mca.err;
  EXPECT_NE(mca.out.find("\"format\": \"MCA text\""), std::string::npos) << mca.out;
  const SpectrumFileRead a = readSpectrumPath(dir.path("a.dat"));
  ASSERT_TRUE(a.ok());
  EXPECT_EQ(a.counts[7], 210);
  EXPECT_EQ(a.header.liveTime(), 987);
  EXPECT_FLOAT_EQ(a.header.gain(), 0.26f);

  const testing::CliRun spec = runCli({"import", importSample("spec_certif.spec"), "--out", dir.path("b.dat")});
  ASSERT_EQ(spec.status, 0) << spec.err;
  EXPECT_EQ(spec.out, "512 channels: Padded 32 -> 512 ch\n");
  EXPECT_NE(spec.err.find("spec_certif.spec: the file holds 2 MCA spectra: the first is read"), std::string::npos) << spec.err;

  const testing::CliRun csv = runCli({"import", importSample("columns_energy.txt"), "--out", dir.path("c.dat"), "--json"});
  ASSERT_EQ(csv.status, 0) << csv.err;
  EXPECT_NE(csv.out.find("\"format\": \"text columns\""), std::string::npos) << csv.out;
}

TEST(ImportFormatsCli, AMalformedFileIsRefusedWithItsLineAndNothingIsWritten) {
  testing::TempDir dir;
  testing::writeFileBytes(dir.path("bad.mca"), {'<', '<', 'P', 'M', 'C', 'A', ' ', 'S', 'P', 'E', 'C', 'T', 'R', 'U',
                                                'M', '>', '>', '\n', '<', '<', 'D', 'A', 'T', 'A', '>', '>', '\n', '7',
                                                '\n'});
  const testing::CliRun run = runCli({"import", dir.path("bad.mca"), "--out", dir.path("bad.dat"), "--json"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("bad.mca line 3: no <<END>> after the data: the file is cut short (read as MCA text)"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.out.find("\"code\": \"refused\""), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.path("bad.dat")));
}

}  // namespace
}  // namespace tolvane
