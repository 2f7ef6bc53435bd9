// tolvane-cli scan --map and tolvane-cli map: a mapped scan of the
// phantom into a map file, ROI maps and a region sum from it, and the
// refusals that leave existing files alone.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli_runner.h"
#include "files/emsa_reader.h"
#include "files/map_file_reader.h"
#include "test_support.h"

namespace tolvane {
namespace {

using testing::runCli;

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(MapCli, MappedScanThenMapsPngCsvAndRegionSum) {
  testing::TempDir dir;
  const std::string nxs = dir.path("m.nxs");
  const auto scan = runCli({"scan", "--device=sim", "--fast", "--phantom", "--memory", "1024", "--dwell", "0.1",
                            "--map", "8x6", "--image", nxs, "--gain", "0.04", "--roi", "1:88:96:Ca", "--roi",
                            "3:120:128:V"});
  ASSERT_EQ(scan.status, 0) << scan.err;
  EXPECT_EQ(scan.out, "48\n");
  std::string error;
  auto reader = MapFileReader::open(nxs, error);
  ASSERT_TRUE(reader) << error;
  EXPECT_EQ(reader->recordedCount(), 48);
  EXPECT_EQ(reader->setup().rois.size(), 2u);
  EXPECT_TRUE(reader->setup().calibrated);
  EXPECT_DOUBLE_EQ(reader->setup().gainKev, static_cast<double>(0.04f));

  const auto map = runCli({"map", nxs, "--png", dir.path("png"), "--csv", dir.path("csv"), "--sum", "7:5:0:0",
                           "--out", dir.path("sum.msa"), "--json"});
  ASSERT_EQ(map.status, 0) << map.err;
  EXPECT_NE(map.out.find("\"recorded\": 48"), std::string::npos) << map.out;
  EXPECT_NE(map.out.find("\"label\": \"Ca\""), std::string::npos) << map.out;
  const QImage grey(QString::fromStdString(dir.path("png/roi01_Ca_net16.png")));
  EXPECT_EQ(grey.format(), QImage::Format_Grayscale16);
  EXPECT_EQ(grey.size(), QSize(8, 6));
  EXPECT_EQ(QImage(QString::fromStdString(dir.path("png/roi03_V_net16_mask.png"))).pixelColor(0, 0).value(), 255);
  EXPECT_TRUE(std::filesystem::exists(dir.path("png/roi03_V_net_colour.png")));
  const std::string csv = fileText(dir.path("csv/roi01_Ca_gross.csv"));
  EXPECT_EQ(testing::lineCount(csv), 6);

  // The whole map's sum: every pixel's counts, and the summed live time.
  const EmsaReadOutcome sum = readEmsa(fileText(dir.path("sum.msa")));
  ASSERT_TRUE(sum.ok());
  std::vector<uint32_t> all;
  ASSERT_TRUE(reader->readAll(all, error));
  std::vector<uint32_t> expected(1024, 0);
  for (size_t i = 0; i < all.size(); ++i) expected[i % 1024] += all[i];
  EXPECT_EQ(sum.spectrum.counts, expected);
  double live = 0;
  for (double t : reader->liveTimeS()) live += t;
  ASSERT_TRUE(sum.spectrum.liveTime);
  EXPECT_NEAR(*sum.spectrum.liveTime * 0.1, live, 0.051);
  EXPECT_TRUE(sum.spectrum.calibrated);
}

TEST(MapCli, RefusalsLeaveFilesAloneAndSayWhy) {
  testing::TempDir dir;
  const std::string existing = dir.path("old.nxs");
  testing::writeFileBytes(existing, {'o', 'l', 'd'});
  auto run = runCli({"scan", "--device=sim", "--fast", "--map", "2x2", "--image", existing});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("never replaced"), std::string::npos) << run.err;
  EXPECT_EQ(fileText(existing), "old");

  const std::vector<std::pair<std::vector<std::string>, std::string>> usage = {
      {{"--map", "0x5", "--image", dir.path("a.nxs")}, "1 to 4096"},
      {{"--map", "4097x1", "--image", dir.path("a.nxs")}, "1 to 4096"},
      {{"--map", "2x2", "--skip-blank", "--image", dir.path("a.nxs")}, "ROI #0"},
      {{"--image", dir.path("a.nxs")}, "needs --map"},
      {{"--map", "2x2", "--roi", "9:1:2", "--image", dir.path("a.nxs")}, "i 0..8"},
      {{"--map", "2x2", "--passes", "5", "--image", dir.path("a.nxs")}, "X x Y = 4"},
      {{"--map", "2x2"}, "--image or --save"},
  };
  for (const auto& [args, message] : usage) {
    std::vector<std::string> full = {"scan", "--device=sim", "--fast"};
    full.insert(full.end(), args.begin(), args.end());
    run = runCli(full);
    EXPECT_EQ(run.status, 2) << args[0] << " " << args[1];
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.path("a.nxs")));

  run = runCli({"map", existing});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("not an HDF5 file"), std::string::npos) << run.err;
  run = runCli({"map", existing, "--sum", "0:0:1"});
  EXPECT_EQ(run.status, 2);
}

// K-ratio maps straight from a map file equal, bit for bit, those of the
// same passes fitted from their pass files.
TEST(MapCli, XfitBatchImageGivesTheMapsOfThePassFiles) {
  testing::TempDir dir;
  const std::string nxs = dir.path("m.nxs");
  const auto scan = runCli({"scan", "--device=sim", "--fast", "--phantom", "--memory", "1024", "--dwell", "0.1",
                            "--map", "8x6", "--image", nxs, "--save", dir.path("p.dat")});
  ASSERT_EQ(scan.status, 0) << scan.err;
  // Standards: the pass of a pixel in the Ca disc (2, 1) and one in the V
  // band (3, 4) of the 8 x 6 phantom.
  const std::string table = dir.path("t.ref");
  ASSERT_EQ(runCli({"table", "new", table}).status, 0);
  auto add = runCli({"table", "add", table, "--element", "Ca", "--spectrum", dir.path("p_0011.dat"), "--window", "88:96"});
  ASSERT_EQ(add.status, 0) << add.err;
  add = runCli({"table", "add", table, "--element", "V", "--spectrum", dir.path("p_0036.dat"), "--window", "120:128"});
  ASSERT_EQ(add.status, 0) << add.err;

  const auto image = runCli({"xfit", "--batch", table, "--image", nxs, "--out-dir", dir.path("image")});
  ASSERT_EQ(image.status, 0) << image.err;
  EXPECT_EQ(image.out, "48 of 48 pixels fitted\n");
  std::vector<std::string> files = {"xfit", "--batch", table, "--map", "8x6", "--out-dir", dir.path("files")};
  for (int p = 1; p <= 48; ++p) {
    char name[32];
    std::snprintf(name, sizeof name, "p_%04d.dat", p);
    files.push_back(dir.path(name));
  }
  const auto fromFiles = runCli(files);
  ASSERT_EQ(fromFiles.status, 0) << fromFiles.err;
  for (const char* csv : {"std01_Ca_kratio.csv", "std02_V_kratio.csv"}) {
    const std::string a = fileText(dir.path(std::string("image/") + csv));
    EXPECT_FALSE(a.empty()) << csv;
    EXPECT_EQ(a, fileText(dir.path(std::string("files/") + csv))) << csv;
  }
  auto usage = runCli({"xfit", "--batch", table, "--image", nxs});
  EXPECT_EQ(usage.status, 2);
}

}  // namespace
}  // namespace tolvane
