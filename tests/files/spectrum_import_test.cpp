// File > Import of the MCA text format, SPEC files with MCA data and text
// columns: files in two other programs' layouts each, the format told from
// the content, and malformed files refused with their line.
#include "files/spectrum_import.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/session.h"
#include "files/column_reader.h"
#include "files/export_file.h"
#include "files/spec_mca_reader.h"
#include "test_support.h"

namespace tolvane {
namespace {

const std::vector<uint32_t> kCounts{0, 0, 3, 12, 40, 95, 160, 210, 190, 120, 60, 25, 14, 9, 8, 7,
                                    7, 6, 6, 5,  5,  4,  4,   4,   3,   3,   3,  2,  2,  2, 1, 1};

std::string sample(const std::string& name) {
  std::ifstream in(std::string(TOLVANE_IMPORT_DATA) + "/" + name, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  EXPECT_FALSE(bytes.str().empty()) << name;
  return bytes.str();
}

struct Imported {
  testing::SimRig rig;
  SpectrumImport outcome;
  explicit Imported(const std::string& bytes, const std::string& name = "x") {
    outcome = importSpectrum(*rig.session, bytes, name);
  }
  Session& session() { return *rig.session; }
};

void expectStart(const EmsaSpectrum& e, int year, int month, int day, int hour, int minute, int second) {
  ASSERT_TRUE(e.start.has_value());
  EXPECT_EQ(e.start->year, year);
  EXPECT_EQ(e.start->month, month);
  EXPECT_EQ(e.start->day, day);
  EXPECT_EQ(e.start->hour, hour);
  EXPECT_EQ(e.start->minute, minute);
  EXPECT_EQ(e.start->second, second);
}

TEST(McaTextImport, DppMcaLayoutWithItsCalibrationAndTheAnalysersSettingsAfter) {
  Imported i(sample("pmca_dppmca.mca"));
  ASSERT_EQ(i.outcome.kind, ImportOutcome::Kind::Loaded) << i.outcome.refusal();
  EXPECT_EQ(i.outcome.format, ImportFormat::Pmca);
  const EmsaSpectrum& e = i.outcome.spectrum();
  EXPECT_EQ(e.counts, kCounts);
  EXPECT_EQ(e.liveTime, 987);  // 98.734 s
  EXPECT_EQ(e.realTime, 1000);
  expectStart(e, 2009, 10, 19, 14, 8, 31);
  EXPECT_EQ(e.title, "Fe-55 source, 5 mm");
  // Channels 4 and 8 at 1.04 and 2.08 keV.
  EXPECT_FLOAT_EQ(e.gainKev, 0.26f);
  EXPECT_NEAR(e.offsetKev, 0.0f, 1e-6f);
  // Loaded as a spectrum file would be: whole blocks, times, calibration.
  Session& s = i.session();
  EXPECT_EQ(s.Acquisition.ChannelCount, 512);
  EXPECT_EQ(s.Working.Counts[7], 210);
  EXPECT_EQ(s.Working.Counts[40], 0);
  EXPECT_EQ(s.Acquisition.LiveTime, 987);
  EXPECT_TRUE(s.Calibration.Valid);
  EXPECT_EQ(i.outcome.adjustments(), "Padded 32 -> 512 ch");
}

TEST(McaTextImport, MinimalLayoutWithAnEvCalibrationOfThreePoints) {
  Imported i(sample("pmca_minimal.mca"));
  ASSERT_EQ(i.outcome.kind, ImportOutcome::Kind::Loaded) << i.outcome.refusal();
  const EmsaSpectrum& e = i.outcome.spectrum();
  EXPECT_EQ(e.counts, kCounts);
  EXPECT_EQ(e.liveTime, 6000);
  EXPECT_EQ(e.realTime, 6013);  // 601.25 s rounds to the nearest tenth
  expectStart(e, 2024, 3, 1, 9, 15, 0);
  EXPECT_FLOAT_EQ(e.gainKev, 0.05f);
  EXPECT_FLOAT_EQ(e.offsetKev, -0.02f);
  EXPECT_TRUE(i.outcome.warnings().empty());
}

TEST(McaTextImport, MalformedFilesAreRefusedWithTheirLine) {
  const std::string good = sample("pmca_minimal.mca");
  const auto refusal = [](const std::string& text) {
    testing::SimRig rig;
    const std::vector<int32_t> before(rig.session->Working.Counts);
    const SpectrumImport o = importSpectrum(*rig.session, text, "bad.mca");
    EXPECT_EQ(rig.session->Working.Counts, before);  // a refused file changes nothing
    return o.kind == ImportOutcome::Kind::Refused ? o.refusal() : std::string("loaded");
  };
  // Cut short inside the data: the counts may be missing.
  EXPECT_EQ(refusal(good.substr(0, good.find("<<END>>"))), "line 44: no <<END>> after the data: the file is cut short");
  std::string text = good;
  text.replace(text.find("\n160\n") + 1, 3, "1x0");
  EXPECT_EQ(refusal(text), "line 19: text in data");
  text = good;
  text.replace(text.find("600"), 3, "ten");
  EXPECT_EQ(refusal(text), "line 4: LIVE_TIME is not a time in seconds");
  text = good;
  text.replace(text.find("980"), 3, "?");
  EXPECT_EQ(refusal(text), "line 11: a calibration point is not 'channel energy'");
  text = good;
  text.replace(text.find("\n95\n") + 1, 2, "-1");
  EXPECT_EQ(refusal(text), "line 18: a count below zero");
  EXPECT_EQ(refusal("<<PMCA SPECTRUM>>\n<<DATA>>\n<<END>>\n"), "line 3: no counts between <<DATA>> and <<END>>");
  EXPECT_EQ(refusal("<<PMCA SPECTRUM>>\nLIVE_TIME - 1\n"), "line 2: no <<DATA>> section");
  EXPECT_EQ(refusal("<<PMCA SPECTRUM>>\n<<DATA>>\n1\n<<DPP STATUS>>\n"), "line 4: no <<END>> after the data");
}

TEST(SpecMcaImport, PyMcaLayoutWithContinuedDataLines) {
  Imported i(sample("spec_pymca.spec"));
  ASSERT_EQ(i.outcome.kind, ImportOutcome::Kind::Loaded) << i.outcome.refusal();
  EXPECT_EQ(i.outcome.format, ImportFormat::Spec);
  const EmsaSpectrum& e = i.outcome.spectrum();
  EXPECT_EQ(e.counts, kCounts);
  EXPECT_EQ(e.presetTime, 1000);
  EXPECT_EQ(e.liveTime, 987);
  EXPECT_EQ(e.realTime, 1000);
  expectStart(e, 2024, 3, 4, 10, 20, 30);
  EXPECT_EQ(e.title, "Fe-55 spectrum");
  EXPECT_FLOAT_EQ(e.gainKev, 0.05f);
  EXPECT_FLOAT_EQ(e.offsetKev, -0.02f);
}

TEST(SpecMcaImport, SpecMacrosLayoutTakesTheFirstMcaSpectrumAndItsFirstChannel) {
  Imported i(sample("spec_certif.spec"));
  ASSERT_EQ(i.outcome.kind, ImportOutcome::Kind::Loaded) << i.outcome.refusal();
  const EmsaSpectrum& e = i.outcome.spectrum();
  EXPECT_EQ(e.counts, kCounts);  // scan 2, not scan 3's ones
  EXPECT_EQ(e.liveTime, 95);
  EXPECT_EQ(e.realTime, 100);
  expectStart(e, 2024, 3, 5, 8, 0, 1);
  // The values start at channel 10: E = 0.1 + 0.02 x 10 keV there.
  EXPECT_FLOAT_EQ(e.offsetKev, 0.3f);
  EXPECT_FLOAT_EQ(e.gainKev, 0.02f);
  const std::vector<std::string> warnings = i.outcome.warnings();
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_NE(warnings[0].find("quadratic term"), std::string::npos);
  EXPECT_EQ(warnings[1], "the file holds 2 MCA spectra: the first is read");
}

TEST(SpecMcaImport, MalformedFilesAreRefusedWithTheirLine) {
  const auto refusal = [](const std::string& text) {
    const TextSpectrumRead read = readSpecMca(text);
    return read.ok() ? std::string("read") : read.describe();
  };
  EXPECT_EQ(refusal("#F x\n@A 1 2 3\n"), "line 2: MCA data (@A) before any scan (#S)");
  EXPECT_EQ(refusal("#S 1 a\n@A 1 2\\\n3 x 5\n"), "line 3: text in MCA data");
  EXPECT_EQ(refusal("#S 1 a\n@A 1 2\\\n3 4\\\n"), "line 3: MCA data end inside a continued line");
  EXPECT_EQ(refusal("#S 1 a\n#@CHANN 4 0 3 1\n@A 1 2 3\n"), "line 3: #@CHANN says 4 channels, the data hold 3");
  EXPECT_EQ(refusal("#S 1 a\n#@CALIB 0 zero 0\n@A 1 2 3\n"), "line 2: #@CALIB needs 2 numbers");
  // Counts of any size or sign are compared as numbers, never cast.
  EXPECT_EQ(refusal("#S 1 a\n#@CHANN -1 0 0 1\n@A 1 2 3\n"), "line 3: #@CHANN says -1 channels, the data hold 3");
  EXPECT_EQ(refusal("#S 1 a\n#@CHANN 1e30 0 0 1\n@A 1 2 3\n"), "line 3: #@CHANN says 1e+30 channels, the data hold 3");
  EXPECT_EQ(refusal("#S 1 a\n#N 1\n1\n2\n"), "line 4: no MCA data (@A) in the file's scans");
  // A malformed second spectrum refuses the file too.
  EXPECT_EQ(refusal("#S 1 a\n@A 1 2\n#S 2 b\n@A 1 -2\n"), "read");  // checked only as numbers
  EXPECT_EQ(refusal("#S 1 a\n@A 1 2\n#S 2 b\n@A 1 two\n"), "line 4: text in MCA data");
  // "#@CALIB 0 1 0" is what writers put for no calibration.
  EXPECT_FALSE(readSpecMca("#S 1 a\n#@CALIB 0 1 0\n@A 1 2\n").spectrum.calibrated);
}

TEST(ColumnImport, SpreadsheetChannelsAndAnEnergyExport) {
  Imported sheet(sample("columns_spreadsheet.csv"));
  ASSERT_EQ(sheet.outcome.kind, ImportOutcome::Kind::Loaded) << sheet.outcome.refusal();
  EXPECT_EQ(sheet.outcome.format, ImportFormat::Columns);
  EXPECT_EQ(sheet.outcome.spectrum().counts, kCounts);
  EXPECT_FALSE(sheet.outcome.spectrum().calibrated);

  Imported energy(sample("columns_energy.txt"));
  ASSERT_EQ(energy.outcome.kind, ImportOutcome::Kind::Loaded) << energy.outcome.refusal();
  EXPECT_EQ(energy.outcome.spectrum().counts, kCounts);
  EXPECT_FLOAT_EQ(energy.outcome.spectrum().gainKev, 0.05f);
  EXPECT_FLOAT_EQ(energy.outcome.spectrum().offsetKev, 0.1f);

  // Energies in eV without a header: told by the last one being above 500.
  const TextSpectrumRead ev = readColumns("0 5\n20 6\n40 7\n1000 8\n");
  EXPECT_EQ(ev.describe(), "line 2: the energies are not evenly spaced");
  const TextSpectrumRead evenEv = readColumns("500 5\n510 6\n520 7\n");
  EXPECT_FLOAT_EQ(evenEv.spectrum.gainKev, 0.01f);
  EXPECT_FLOAT_EQ(evenEv.spectrum.offsetKev, 0.5f);
}

TEST(ColumnImport, OurOwnCsvExportComesBack) {
  testing::SimRig rig;
  Session& s = *rig.session;
  testing::fillSpectrum(s, 1024, [](int c) { return (c * 37) % 1000; });
  s.Calibration.Valid = true;
  s.Calibration.Gain = 0.0100231f;
  s.Calibration.Offset = -0.0473f;
  const std::string csv = exportText(s, ExportFormat::Csv, "s.csv");
  Imported back(csv);
  ASSERT_EQ(back.outcome.kind, ImportOutcome::Kind::Loaded) << back.outcome.refusal();
  const EmsaSpectrum& e = back.outcome.spectrum();
  ASSERT_EQ(e.counts.size(), 1024u);
  for (int c = 0; c < 1024; ++c) ASSERT_EQ(e.counts[static_cast<size_t>(c)], static_cast<uint32_t>((c * 37) % 1000));
  EXPECT_NEAR(e.gainKev, 0.0100231, 1e-7);
  EXPECT_NEAR(e.offsetKev, -0.0473, 1e-5);
  // Without a calibration the energy column is empty: channels only.
  s.Calibration.Valid = false;
  const TextSpectrumRead plain = readColumns(exportText(s, ExportFormat::Csv, "s.csv"));
  ASSERT_TRUE(plain.ok()) << plain.describe();
  EXPECT_FALSE(plain.spectrum.calibrated);
}

TEST(ColumnImport, PyMcasOneColumnMcaIsReadAsColumnsNotByItsExtension) {
  const std::string path = "/usr/share/pymca/XRFSpectrum.mca";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << path << " is not installed (pymca-data)";
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  const std::string text = bytes.str();
  Imported i(text, "XRFSpectrum.mca");
  ASSERT_EQ(i.outcome.kind, ImportOutcome::Kind::Loaded) << i.outcome.refusal();
  EXPECT_EQ(i.outcome.format, ImportFormat::Columns);
  // Its lines that are not comments, one count each.
  size_t values = 0;
  for (const std::string_view line : textLines(text))
    if (!trimmed(line).empty() && trimmed(line).front() != '#') ++values;
  EXPECT_EQ(i.outcome.spectrum().counts.size(), values);
}

TEST(ColumnImport, MalformedFilesAreRefusedWithTheirLine) {
  const auto refusal = [](const std::string& text) {
    const TextSpectrumRead read = readColumns(text);
    return read.ok() ? std::string("read") : read.describe();
  };
  EXPECT_EQ(refusal("channel,counts\n0,1\n1,two\n"), "line 3: text in data");
  EXPECT_EQ(refusal("1 2\n3 4\n5\n"), "line 3: 1 fields where the first line of numbers has 2");
  EXPECT_EQ(refusal("1,2,3,4\n"), "line 1: more than three columns");
  EXPECT_EQ(refusal("5\n-1\n"), "line 2: a count below zero");
  EXPECT_EQ(refusal("5\nnan\n"), "line 2: text in data");
  // A first channel too large for any integer is named as read.
  const TextSpectrumRead huge = readColumns("1e30 5\n");
  ASSERT_TRUE(huge.ok()) << huge.describe();
  ASSERT_FALSE(huge.warnings.empty());
  EXPECT_EQ(huge.warnings.front(), "the channels start at 1e+30: the first value is read as channel 0");
  EXPECT_EQ(refusal("channel counts\n0 1\n1 1\n3 1\n"), "line 4: the channels do not count up by one");
  EXPECT_EQ(refusal("energy counts\n2.0 1\n1.0 1\n"), "line 3: the energies do not increase");
  EXPECT_EQ(refusal("0,,5\n1,0.01,5\n"), "line 2: an energy where the first row has none");
  EXPECT_EQ(refusal("0,0,5\n1,,5\n"), "line 2: an energy is missing");
  EXPECT_EQ(refusal("# nothing here\n\n"), "line 2: no spectrum found: not EMSA/MSA, the MCA text format, SPEC, nor "
                                           "columns of numbers");
  std::string many;
  for (int c = 0; c <= 8192; ++c) many += "1\n";
  EXPECT_EQ(refusal(many), "line 8193: more than 8192 channels");
}

TEST(SpectrumImportFormat, ToldFromTheContent) {
  EXPECT_EQ(detectImportFormat("\r\n<<PMCA SPECTRUM>>\r\n"), ImportFormat::Pmca);
  EXPECT_EQ(detectImportFormat("#FORMAT : EMSA/MAS\n"), ImportFormat::Emsa);
  EXPECT_EQ(detectImportFormat("#TITLE : x\n#SPECTRUM :\n1\n"), ImportFormat::Emsa);
  EXPECT_EQ(detectImportFormat("#F x\n#S 1 a\n@A 1\n"), ImportFormat::Spec);
  EXPECT_EQ(detectImportFormat("# <<PMCA SPECTRUM>>\n1\n2\n"), ImportFormat::Columns);
  EXPECT_EQ(detectImportFormat(""), ImportFormat::Columns);
}

}  // namespace
}  // namespace tolvane
