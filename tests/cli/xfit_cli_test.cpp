// tolvane-cli xfit, single and batch, on files made here.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "files/spectrum_file.h"
#include "test_support.h"
#include "xfit/standard_table.h"

namespace tolvane {
namespace {

std::string run(const std::string& command, int* status = nullptr) {
  std::string output;
  FILE* pipe = ::popen((command.find(" 2>") == std::string::npos ? command + " 2>/dev/null" : command).c_str(), "r");
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  const int rc = ::pclose(pipe);
  if (status) *status = rc;
  return output;
}

void writePeak(const std::string& path, double centre, double height, int channels = 1024, int32_t liveTenths = 0,
               float gain = 0.0f) {
  std::vector<int32_t> counts(static_cast<size_t>(channels));
  for (int c = 0; c < channels; ++c)
    counts[static_cast<size_t>(c)] =
        10 + static_cast<int32_t>(std::lround(height * std::exp(-0.5 * std::pow((c - centre) / 5.0, 2))));
  SpectrumFileHeader h;
  h.setChannelCount(static_cast<int16_t>(channels));
  h.setLiveTime(liveTenths);
  h.setCalibrationMarker(gain == 0.0f ? 1.0f : 0.0f);
  h.setGain(gain);
  testing::writeFileBytes(path, encodeSpectrumFile(h, counts.data(), channels));
}

// A table with one Fe standard in use, from `standard`.
std::string feTable(const testing::TempDir& dir, const std::string& name, const std::string& standard) {
  StandardTable table;
  StandardRecord& r = table.Records[0];
  r.setInUse(1);
  r.setElemName("Fe");
  r.setSpecFile(standard);
  r.setFitLowCh(270);
  r.setFitHighCh(330);
  r.setCf(1.0f);
  EXPECT_TRUE(SaveStandardTableFile(table, dir.path(name)));
  return dir.path(name);
}

struct Ran {
  int status = -1;
  std::string out, err;
};

Ran runBoth(const std::string& command) {
  testing::TempDir scratch;
  Ran r;
  r.out = run(command + " 2>" + scratch.path("err"), &r.status);
  const auto bytes = testing::readFileBytes(scratch.path("err"));
  r.err.assign(bytes.begin(), bytes.end());
  r.status = WEXITSTATUS(r.status);
  return r;
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
  EXPECT_NE(json.find("\"sample\": \"" + dir.path("sample1.dat") + "\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"index\": 2, \"element\": \"Cu\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"text\": \"    50."), std::string::npos) << json;  // Fe about 50 %
  EXPECT_NE(json.find("\"wt_pct\": 100."), std::string::npos) << json;     // 50 % x Cf 2 (or 99.9..)
  // Fit quality: the sample is the Fe standard scaled, so nothing is
  // flagged, and it has no Cu.
  EXPECT_NE(json.find("\"chi2_reduced\": "), std::string::npos) << json;
  EXPECT_EQ(json.find("0000,"), std::string::npos) << json;  // figures in their shortest form
  EXPECT_NE(json.find("\"dof\": "), std::string::npos) << json;
  EXPECT_NE(json.find("\"flags\": [], "), std::string::npos) << json;
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
            "file,Fe_kratio_pct,Fe_kratio_err,Cu_kratio_pct,Cu_kratio_err,Fe_kratio_pct_lt,Cu_kratio_pct_lt,"
            "chi2_reduced,chi2_reduced_after_spill,flags");
  EXPECT_NE(csv.find("\n" + dir.path("sample2.dat") + ",25."), std::string::npos) << csv;
  const std::string shifted = csv.substr(csv.find("\n" + dir.path("shifted.dat") + ",") + 1);
  EXPECT_NE(shifted.find(",systematic_residual:0"), std::string::npos) << csv;
  const size_t row2 = csv.find("\n" + dir.path("sample2.dat") + ",") + 1;
  const std::string sample2 = csv.substr(row2, csv.find('\n', row2) - row2);
  EXPECT_EQ(sample2.back(), ',') << sample2;  // a chi-square and no flags

  run(cli + " xfit --batch " + dir.path("t.ref") + " " + dir.path("missing.dat"), &status);
  EXPECT_NE(status, 0);
}

TEST(XfitCommand, ErrorsNameWhatIsWrongWithTheTable) {
  testing::TempDir dir;
  const std::string cli = TOLVANE_CLI;
  writePeak(dir.path("s.dat"), 300, 500);
  writePeak(dir.path("fe.dat"), 300, 1000);
  testing::writeFileBytes(dir.path("bad.dat"), {1, 2, 3});
  StandardTable unused;
  ASSERT_TRUE(SaveStandardTableFile(unused, dir.path("none.ref")));
  const std::string sample = dir.path("s.dat") + " ";
  struct Case {
    std::string table;
    const char* says;
  };
  for (const Case& c : {Case{dir.path("absent.ref"), "table not found"}, Case{dir.path("fe.dat"), "is not a table"},
                        Case{dir.path("none.ref"), "no standard in use"},
                        Case{feTable(dir, "gone.ref", "gone.dat"), "standard No.1 (Fe)"},
                        Case{feTable(dir, "refused.ref", "bad.dat"), "spectrum file refused"}}) {
    const Ran r = runBoth(cli + " xfit " + sample + c.table);
    EXPECT_EQ(r.status, 1) << c.table;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_NE(runBoth(cli + " xfit " + sample + feTable(dir, "gone.ref", "gone.dat"))
                .err.find("missing: " + dir.path("gone.dat")),
            std::string::npos);
  // --batch writes CSV only.
  for (const char* option : {" --json", " --save out.ref"})
    EXPECT_EQ(runBoth(cli + " xfit --batch " + feTable(dir, "t.ref", "fe.dat") + " " + sample + option).status, 2);
}

TEST(XfitCommand, SamplesMeasuredUnlikeTheirStandardsAreWarnedAbout) {
  testing::TempDir dir;
  const std::string cli = TOLVANE_CLI;
  // The standard: 60 s, 4096 channels, calibrated; the sample 5 s, 1024 channels.
  writePeak(dir.path("fe.dat"), 300, 1200, 4096, 600, 0.01f);
  writePeak(dir.path("s.dat"), 300, 100, 1024, 50);
  const std::string table = feTable(dir, "t.ref", "fe.dat");
  const Ran r = runBoth(cli + " xfit " + dir.path("s.dat") + " " + table + " --json");
  EXPECT_EQ(r.status, 0) << r.err;
  for (const char* says : {"1024 channels", "may not mean the same energies", "live times differ: sample 5.0 s"})
    EXPECT_NE(r.err.find(says), std::string::npos) << says << "\n" << r.err;
  EXPECT_NE(r.out.find("\"warnings\": [\"the sample has 1024 channels"), std::string::npos) << r.out;
  // Counted over 5 s against 60 s: the count ratio is about 1/12 of the
  // per-live-time one, which is given beside it.
  const double kratio = std::stod(r.out.substr(r.out.find("\"kratio_pct\": ") + 14));
  const double perLiveTime = std::stod(r.out.substr(r.out.find("\"kratio_pct_lt\": ") + 17));
  EXPECT_NEAR(perLiveTime, kratio * 12, 1e-3 * kratio * 12);

  // Batch: path as given, quoted when it holds a comma; the warnings on stderr.
  std::filesystem::create_directory(dir.path("a,b"));
  writePeak(dir.path("a,b/s.dat"), 300, 100, 1024, 50);
  const Ran batch = runBoth(cli + " xfit --batch " + table + " '" + dir.path("a,b/s.dat") + "' " + dir.path("s.dat"));
  EXPECT_EQ(batch.status, 0) << batch.err;
  EXPECT_NE(batch.out.find("\n\"" + dir.path("a,b/s.dat") + "\","), std::string::npos) << batch.out;
  EXPECT_NE(batch.out.find("\n" + dir.path("s.dat") + ","), std::string::npos) << batch.out;
  // Once per cause, with the count of files; each file's own in its row.
  EXPECT_NE(batch.err.find("2 files: live time differs from the standards'"), std::string::npos) << batch.err;
  EXPECT_NE(batch.err.find(dir.path("a,b/s.dat") + ": live times differ: sample 5.0 s"), std::string::npos)
      << batch.err;
  EXPECT_NE(batch.out.find(";live_time_differs\n"), std::string::npos) << batch.out;
}

// A table of two 2048-channel standards at 10 eV per channel and a
// 4096-channel sample: with the same calibration the channels mean the same
// energies and nothing is said; with another one, one warning names both
// standards. Many files with the same cause give one line, not one per file.
TEST(XfitCommand, EnergyScalesAreWarnedAboutOnlyWhenTheyDifferAndOncePerCause) {
  testing::TempDir dir;
  const std::string cli = TOLVANE_CLI;
  writePeak(dir.path("fe.dat"), 300, 1200, 2048, 600, 10.0f);
  writePeak(dir.path("cu.dat"), 500, 1200, 2048, 600, 10.0f);
  StandardTable table;
  for (int k = 0; k < 2; ++k) {
    StandardRecord& r = table.Records[static_cast<size_t>(k)];
    r.setInUse(1);
    r.setElemName(k == 0 ? "Fe" : "Cu");
    r.setSpecFile(k == 0 ? "fe.dat" : "cu.dat");
    r.setFitLowCh(k == 0 ? 270 : 470);
    r.setFitHighCh(k == 0 ? 330 : 530);
  }
  ASSERT_TRUE(SaveStandardTableFile(table, dir.path("t.ref")));
  writePeak(dir.path("same.dat"), 300, 600, 4096, 600, 10.0f);
  writePeak(dir.path("other.dat"), 300, 600, 4096, 600, 20.0f);
  const auto count = [](const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  };
  const Ran same = runBoth(cli + " xfit " + dir.path("same.dat") + " " + dir.path("t.ref"));
  EXPECT_EQ(same.status, 0) << same.err;
  EXPECT_EQ(same.err, "");
  const Ran other = runBoth(cli + " xfit " + dir.path("other.dat") + " " + dir.path("t.ref"));
  EXPECT_EQ(count(other.err, "energies"), 1u) << other.err;
  EXPECT_NE(other.err.find("standards No.1 (Fe), No.2 (Cu): the fit windows do not mean the same energies"),
            std::string::npos)
      << other.err;

  std::string files;
  for (int i = 0; i < 30; ++i) {
    const std::string path = dir.path("b" + std::to_string(i) + ".dat");
    writePeak(path, 300, 600, 4096, 0, i < 20 ? 20.0f : 10.0f);  // live time 0 s
    files += " " + path;
  }
  const Ran batch = runBoth(cli + " xfit --batch " + dir.path("t.ref") + files);
  EXPECT_EQ(batch.status, 0) << batch.err;
  EXPECT_EQ(count(batch.err, "\n"), 2u) << batch.err;
  EXPECT_NE(batch.err.find("20 files: energy calibration differs"), std::string::npos) << batch.err;
  EXPECT_NE(batch.err.find("30 files: live time differs"), std::string::npos) << batch.err;
  EXPECT_EQ(count(batch.out, ",calibration_differs;live_time_differs\n"), 20u) << batch.out;
  EXPECT_EQ(count(batch.out, ",live_time_differs\n"), 10u) << batch.out;
}

}  // namespace
}  // namespace tolvane
