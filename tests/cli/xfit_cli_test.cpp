// tolvane-cli xfit, single and batch, on files made here.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "files/spectrum_file.h"
#include "test_support.h"
#include "xfit/standard_table.h"

namespace tolvane {
namespace {

std::string run(const std::string& command, int* status = nullptr) {
  std::string output;
  FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  const int rc = ::pclose(pipe);
  if (status) *status = rc;
  return output;
}

void writePeak(const std::string& path, double centre, double height) {
  std::vector<int32_t> counts(1024);
  for (int c = 0; c < 1024; ++c)
    counts[static_cast<size_t>(c)] =
        10 + static_cast<int32_t>(std::lround(height * std::exp(-0.5 * std::pow((c - centre) / 5.0, 2))));
  SpectrumFileHeader h;
  h.setChannelCount(1024);
  testing::writeFileBytes(path, encodeSpectrumFile(h, counts.data(), 1024));
}

TEST(XfitCommand, FitsOneSampleAndManyAgainstATable) {
  testing::TempDir dir;
  writePeak(dir.path("fe.dat"), 300, 1000);
  writePeak(dir.path("cu.dat"), 600, 1000);
  writePeak(dir.path("sample1.dat"), 300, 500);
  writePeak(dir.path("sample2.dat"), 300, 250);
  writePeak(dir.path("shifted.dat"), 306, 500);  // a calibration off by six channels
  StandardTable table;
  for (auto [i, name, file, low] : {std::tuple{0, "Fe", "fe.dat", 270}, std::tuple{2, "Cu", "cu.dat", 570}}) {
    StandardRecord& r = table.Records[static_cast<size_t>(i)];
    r.setInUse(1);
    r.setElemName(name);
    r.setSpecFile(file);
    r.setFitLowCh(low);
    r.setFitHighCh(low + 60);
    r.setCf(2.0f);
  }
  ASSERT_TRUE(SaveStandardTableFile(table, dir.path("t.ref")));
  const std::string cli = TOLVANE_CLI;

  int status = -1;
  const std::string json =
      run(cli + " xfit " + dir.path("sample1.dat") + " " + dir.path("t.ref") + " --json --save " + dir.path("out.ref"),
          &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(json.find("\"sample\": \"sample1.dat\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"index\": 2, \"element\": \"Cu\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"text\": \"    50."), std::string::npos) << json;  // Fe about 50 %
  EXPECT_NE(json.find("\"wt_pct\": 100."), std::string::npos) << json;     // 50 % x Cf 2 (or 99.9..)
  // Fit quality: the sample is the Fe standard scaled, so nothing is
  // flagged, and it has no Cu.
  EXPECT_NE(json.find("\"chi2_reduced\": "), std::string::npos) << json;
  EXPECT_NE(json.find("\"dof\": "), std::string::npos) << json;
  EXPECT_NE(json.find("\"flags\": []}"), std::string::npos) << json;
  EXPECT_NE(json.find("\"element\": \"Cu\", \"kratio_pct\""), std::string::npos) << json;
  EXPECT_NE(json.rfind("\"detected\": false}"), std::string::npos) << json;
  StandardTable saved;
  ASSERT_EQ(ReadStandardTableFile(saved, dir.path("out.ref")), TableReadOutcome::Read);
  EXPECT_NEAR(saved.Records[0].kratioPct(), 50.0, 1.0);

  const std::string csv = run(cli + " xfit --batch " + dir.path("t.ref") + " " + dir.path("sample1.dat") + " " +
                                  dir.path("sample2.dat") + " " + dir.path("shifted.dat"),
                              &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(csv.substr(0, csv.find('\n')),
            "file,Fe_kratio_pct,Fe_kratio_err,Cu_kratio_pct,Cu_kratio_err,chi2_reduced,flags");
  EXPECT_NE(csv.find("\nsample2.dat,25."), std::string::npos) << csv;
  const std::string shifted = csv.substr(csv.find("\nshifted.dat,") + 1);
  EXPECT_NE(shifted.find(",systematic_residual:0"), std::string::npos) << csv;
  const size_t row2 = csv.find("\nsample2.dat,") + 1;
  const std::string sample2 = csv.substr(row2, csv.find('\n', row2) - row2);
  EXPECT_EQ(sample2.back(), ',') << sample2;  // a chi-square and no flags

  run(cli + " xfit --batch " + dir.path("t.ref") + " " + dir.path("missing.dat"), &status);
  EXPECT_NE(status, 0);
}

}  // namespace
}  // namespace tolvane
