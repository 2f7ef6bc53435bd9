// SPEC and CSV exports of the spectrum shown, and File > Export's writing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "files/export_file.h"
#include "handlers/file_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

struct ExportRig {
  Session& session() { return *rig.session; }
  testing::SimRig rig{0};
  testing::TempDir dir;
};

TEST(SpecExport, OneScanWithMcaHeaderAndSixteenValueContinuationLines) {
  ExportRig f;
  Session& s = f.session();
  testing::fillSpectrum(s, 512, [](int c) { return c; });
  s.Calibration = {1, {'e', 'V'}, 0, 0, 0, 0, 10.0f, -20.0f};
  s.Acquisition.PresetTime = 1000;
  s.Acquisition.LiveTime = 955;
  s.Acquisition.RealTime = 1000;
  s.Working.Header.setComment("Brass");
  s.Working.Header.setStartTime({2026, 12, 7, 9, 5, 3});
  const std::string text = exportText(s, ExportFormat::Spec, "/some/where/brass.spec");
  EXPECT_EQ(text.rfind("#F brass.spec\n#D Mon Dec 07 09:05:03 2026\n\n#S 1 Brass\n", 0), 0u);
  EXPECT_NE(text.find("\n#@MCA %16C\n#@CHANN 512 0 511 1\n#@CALIB -0.02 0.01 0\n#@CTIME 100.0 95.5 100.0\n"),
            std::string::npos);
  EXPECT_NE(text.find("\n@A 0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\\\n 16 17 "), std::string::npos);
  EXPECT_NE(text.find(" 496 497 498 499 500 501 502 503 504 505 506 507 508 509 510 511\n"), std::string::npos);
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(text.find("\\\n", text.rfind(" 511")), std::string::npos);  // no continuation after the last value
}

TEST(SpecExport, WithoutCalibrationTheScaleIsOneChannel) {
  ExportRig f;
  Session& s = f.session();
  testing::fillSpectrum(s, 512, [](int) { return 1; });
  EXPECT_NE(exportText(s, ExportFormat::Spec, "a.spec").find("#@CALIB 0 1 0\n"), std::string::npos);
}

TEST(CsvExport, HeaderThenOneLinePerChannelWithEnergyInKevOrEmpty) {
  ExportRig f;
  Session& s = f.session();
  testing::fillSpectrum(s, 512, [](int c) { return c * 2; });
  std::string text = exportText(s, ExportFormat::Csv, "a.csv");
  EXPECT_EQ(text.rfind("channel,energy_kev,counts\r\n0,,0\r\n1,,2\r\n", 0), 0u);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 513);
  s.Calibration = {1, {'k', 'e', 'V'}, 0, 0, 0, 0, 0.0078125f, 0.5f};
  text = exportText(s, ExportFormat::Csv, "a.csv");
  EXPECT_NE(text.find("\r\n128,1.500000,256\r\n"), std::string::npos);
  s.Calibration = {1, {'e', 'V'}, 0, 0, 0, 0, 10.0f, 0.0f};
  text = exportText(s, ExportFormat::Csv, "a.csv");
  EXPECT_NE(text.find("\r\n511,5.110000,1022\r\n"), std::string::npos);
}

TEST(ExportFile, WritesTheShownSpectrumKeepsItsNameAndReportsAFailedWrite) {
  ExportRig f;
  Session& s = f.session();
  testing::fillSpectrum(s, 512, [](int c) { return c; });
  s.Working.setName("sample.dat");
  s.Texts.Edit1.clear();
  for (const char* name : {"msa", "spec", "csv"}) {
    const auto format = exportFormatNamed(name);
    ASSERT_TRUE(format.has_value());
    const std::string path = f.dir.path(std::string("out.") + name);
    ASSERT_EQ(ExportSpectrumFile(s, path, *format), ExportOutcome::Written);
    EXPECT_EQ(std::filesystem::file_size(path), exportText(s, *format, path).size());
  }
  EXPECT_EQ(s.Working.Name, "sample.dat");
  EXPECT_EQ(s.Texts.Edit1, "");
  EXPECT_FALSE(exportFormatNamed("dat").has_value());
  EXPECT_EQ(ExportSpectrumFile(s, f.dir.path("no/such/folder/out.csv"), ExportFormat::Csv), ExportOutcome::WriteFailed);
  EXPECT_EQ(s.Texts.Edit1, kFileWriteErrorText);
}

}  // namespace
}  // namespace tolvane
