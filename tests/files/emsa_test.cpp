// EMSA/MSA files: files other programs write, our own files read back, and
// every refusal leaving the spectrum shown as it was.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "files/emsa_import.h"
#include "files/emsa_reader.h"
#include "files/emsa_writer.h"
#include "files/export_file.h"
#include "handlers/file_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

std::string dataFile(const std::string& name) {
  std::ifstream in(std::string(TOLVANE_EMSA_DATA) + "/" + name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct ImportRig {
  ImportRig() { session().Texts.Edit1.clear(); }
  Session& session() { return *rig.session; }
  testing::SimRig rig{0};
  testing::TempDir dir;
};

// A spectrum of `channels` channels with a calibration, times, texts and a
// start time, as an acquisition leaves it.
void fillAcquired(Session& s, int channels) {
  testing::fillSpectrum(s, channels, [](int c) { return (c * 37 + 11) % 1009; });
  s.Working.Counts[5] = -1;  // 0xFFFFFFFF counts
  s.Calibration.Valid = 1;
  s.Calibration.Gain = 0.0100231f;
  s.Calibration.Offset = -0.0473f;
  s.Acquisition.PresetTime = 1000;
  s.Acquisition.LiveTime = 987;
  s.Acquisition.RealTime = 1003;
  s.Working.Header.setComment("Fe-Cr steel: point 3");
  s.Working.Header.setSampleId("S-0042");
  s.Working.Header.setStartTime({2026, 12, 7, 9, 41, 17});
}

TEST(EmsaFiles, FiveColumnYFileLoadsWithCountsCalibrationTimesAndTitle) {
  ImportRig f;
  Session& s = f.session();
  const ImportOutcome o = importEmsa(s, dataFile("y_five_columns.msa"), "y_five_columns.msa");
  ASSERT_EQ(o.kind, ImportOutcome::Kind::Loaded);
  EXPECT_EQ(s.Acquisition.ChannelCount, 512);
  const int32_t expected[20] = {0, 0, 1, 5, 12, 30, 150, 720, 1200, 980, 431, 120, 44, 18, 9, 4, 2, 1, 0, 3};
  for (int c = 0; c < 20; ++c) EXPECT_EQ(s.Working.Counts[static_cast<size_t>(c)], expected[c]) << c;
  for (int c = 20; c < 512; ++c) ASSERT_EQ(s.Working.Counts[static_cast<size_t>(c)], 0) << c;
  EXPECT_EQ(s.Calibration.Valid, 1);
  EXPECT_EQ(s.Calibration.Gain, 0.01f);
  EXPECT_EQ(s.Calibration.Offset, -0.2f);
  EXPECT_EQ(s.Acquisition.LiveTime, 988);  // 98.76 s to the nearest tenth
  EXPECT_EQ(s.Acquisition.RealTime, 1000);
  EXPECT_EQ(s.Working.Header.comment(), "Stainless steel, 20 kV");
  const auto t = s.Working.Header.startTime();
  EXPECT_EQ(t.year, 2025);
  EXPECT_EQ(t.month, 3);
  EXPECT_EQ(t.day, 14);
  EXPECT_EQ(t.hour, 9);
  EXPECT_EQ(t.minute, 41);
  EXPECT_EQ(s.Working.Name, "y_five_columns.msa");
  EXPECT_EQ(importStatusText(o), "Padded 20 -> 512 ch");
  EXPECT_EQ(s.Display.LastShown, 511);
}

TEST(EmsaFiles, XyFileWithLowerCaseKeywordsTabsAndEvUnitsLoads) {
  ImportRig f;
  Session& s = f.session();
  s.SelectedMemory = 2;
  const ImportOutcome o = importEmsa(s, dataFile("xy_commas.msa"), "xy_commas.msa");
  ASSERT_EQ(o.kind, ImportOutcome::Kind::Loaded) << describeEmsaRefusal(o.read);
  const int32_t expected[8] = {4, 8, 12, 25, 40, 100, 30, 0};
  for (int c = 0; c < 8; ++c) EXPECT_EQ(s.Working.Counts[static_cast<size_t>(c)], expected[c]) << c;
  EXPECT_TRUE(o.read.spectrum.rounded);
  EXPECT_EQ(importStatusText(o), "Counts rounded; Padded 8 -> 512 ch");
  EXPECT_EQ(s.Calibration.Gain, 0.01f);  // 10 eV a channel, kept in keV
  EXPECT_EQ(s.Calibration.Offset, 0.1f);
  EXPECT_EQ(s.Acquisition.LiveTime, 125);
  EXPECT_EQ(s.Acquisition.RealTime, 130);
  // Loaded like a spectrum file: the selected memory holds it too.
  EXPECT_EQ(s.Memories[1].Counts[5], 100);
  EXPECT_EQ(s.Memories[1].Name, "xy_commas.msa");
}

TEST(EmsaFiles, XyEnergiesGiveTheScaleWhenXperchanIsMissing) {
  const EmsaReadOutcome o = readEmsa(dataFile("xy_energies_only.msa"));
  ASSERT_TRUE(o.ok()) << describeEmsaRefusal(o);
  EXPECT_EQ(o.spectrum.counts, (std::vector<uint32_t>{5, 6, 7}));
  EXPECT_TRUE(o.spectrum.calibrated);
  EXPECT_EQ(o.spectrum.gainKev, 0.5f);
  EXPECT_EQ(o.spectrum.offsetKev, 1.0f);
  EXPECT_FALSE(o.spectrum.liveTime.has_value());
}

TEST(EmsaFiles, ChannelUnitsLeaveTheCalibrationInForce) {
  ImportRig f;
  Session& s = f.session();
  s.Calibration = {1, {'e', 'V'}, 0, 0, 0, 0, 10.0f, 5.0f};
  const std::string file =
      "#NPOINTS : 3\n#XUNITS : Channel\n#XPERCHAN : 1\n#OFFSET : 0\n#SPECTRUM :\n1 2 3\n#ENDOFDATA :\n";
  ASSERT_EQ(importEmsa(s, file, "c.msa").kind, ImportOutcome::Kind::Loaded);
  EXPECT_EQ(s.Calibration.Gain, 10.0f);
  EXPECT_EQ(s.Calibration.Offset, 5.0f);
  EXPECT_EQ(s.Working.Header.calibrationMarker(), 1.0f);
}

// .dat -> EMSA -> .dat keeps counts, calibration, times, title and the
// rest of what the header holds, in both data forms.
TEST(EmsaFiles, SpectrumFileRoundTripsThroughEmsaInBothForms) {
  for (const EmsaDataForm form : {EmsaDataForm::Y, EmsaDataForm::XY}) {
    ImportRig f;
    Session& s = f.session();
    fillAcquired(s, 1024);
    s.Rois.Entries[2].Defined = 1;
    s.Rois.Entries[2].LowChannel = 580;
    s.Rois.Entries[2].HighChannel = 600;
    s.Rois.Entries[2].ElementLabel = {'M', 'n', '-', 'K', 'a', '\0'};
    const std::string datPath = f.dir.path("a.dat");
    ASSERT_TRUE(WriteSpectrumFile(s, datPath));
    const SpectrumFileHeader written = s.Working.Header;
    const std::vector<int32_t> counts(s.Working.Counts.begin(), s.Working.Counts.begin() + 1024);

    const std::string msaPath = f.dir.path("a.msa");
    ASSERT_EQ(ExportSpectrumFile(s, msaPath, ExportFormat::Msa, form), ExportOutcome::Written);

    ImportRig g;
    Session& t = g.session();
    const ImportOutcome o = ImportEmsaFile(t, msaPath);
    ASSERT_EQ(o.kind, ImportOutcome::Kind::Loaded) << importStatusText(o);
    EXPECT_EQ(t.Texts.Edit1, "");  // whole counts, whole blocks: nothing to say
    EXPECT_EQ(t.Acquisition.ChannelCount, 1024);
    EXPECT_EQ(std::vector<int32_t>(t.Working.Counts.begin(), t.Working.Counts.begin() + 1024), counts);
    EXPECT_EQ(t.Calibration.Gain, 0.0100231f);
    EXPECT_EQ(t.Calibration.Offset, -0.0473f);
    EXPECT_EQ(t.Acquisition.LiveTime, 987);
    EXPECT_EQ(t.Acquisition.RealTime, 1003);
    EXPECT_EQ(t.Acquisition.PresetTime, 1000);
    EXPECT_EQ(t.Working.Header.comment(), "Fe-Cr steel: point 3");
    EXPECT_EQ(t.Working.Header.sampleId(), "S-0042");
    EXPECT_EQ(t.Rois.Entries[2].LowChannel, 580);
    EXPECT_EQ(std::string(t.Rois.Entries[2].ElementLabel.data()), "Mn-Ka");

    ASSERT_TRUE(WriteSpectrumFile(t, g.dir.path("b.dat")));
    SpectrumFileHeader again = t.Working.Header;
    EXPECT_EQ(again.startTime().second, 17);
    EXPECT_TRUE(again == written) << "header differs after the round trip";
  }
}

TEST(EmsaFiles, WriterLaysOutTheRequiredKeywordsInOrderWithCrLfAndAscii) {
  ImportRig f;
  Session& s = f.session();
  fillAcquired(s, 512);
  s.Working.Header.setComment("Probe \xE9t\xE9");
  const std::string text = exportText(s, ExportFormat::Msa, "x.msa");
  const char* order[] = {"#FORMAT      : EMSA/MAS Spectral Data File\r\n",
                         "#VERSION     : 1.0\r\n",
                         "#TITLE       : Probe ?t?\r\n",
                         "#DATE        : 07-Dec-2026\r\n",
                         "#TIME        : 09:41\r\n",
                         "#OWNER       : \r\n",
                         "#NPOINTS     : 512\r\n",
                         "#NCOLUMNS    : 5\r\n",
                         "#XUNITS      : keV\r\n",
                         "#YUNITS      : counts\r\n",
                         "#DATATYPE    : Y\r\n",
                         "#XPERCHAN    : 0.0100231\r\n",
                         "#OFFSET      : -0.0473\r\n",
                         "#SIGNALTYPE  : EDS\r\n",
                         "#LIVETIME  -s: 98.7\r\n",
                         "#REALTIME  -s: 100.3\r\n",
                         "#SPECTRUM    : Spectral Data Starts Here\r\n",
                         "11, 48, 85, 122, 159\r\n",
                         "4294967295, 233, 270, 307, 344\r\n",
                         "#ENDOFDATA   : \r\n"};
  size_t at = 0;
  for (const char* expected : order) {
    const size_t found = text.find(expected, at);
    ASSERT_NE(found, std::string::npos) << expected;
    at = found;
  }
  for (const char c : text) ASSERT_TRUE(c == '\r' || c == '\n' || (c >= 0x20 && c < 0x7F));
  EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1);
  // The last line of Y data holds what is left over: 512 = 102 * 5 + 2.
  EXPECT_NE(text.find("\r\n719, 756\r\n#ENDOFDATA"), std::string::npos);
}

TEST(EmsaFiles, WithoutCalibrationTheScaleIsInChannelsAndEvStaysEv) {
  ImportRig f;
  Session& s = f.session();
  testing::fillSpectrum(s, 512, [](int c) { return c; });
  std::string text = exportText(s, ExportFormat::Msa, "x.msa", EmsaDataForm::XY);
  EXPECT_NE(text.find("#XUNITS      : Channel\r\n"), std::string::npos);
  EXPECT_NE(text.find("#XPERCHAN    : 1\r\n#OFFSET      : 0\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\n511, 511\r\n#ENDOFDATA"), std::string::npos);
  s.Calibration = {1, {'e', 'V'}, 0, 0, 0, 0, 10.0f, -5.0f};
  text = exportText(s, ExportFormat::Msa, "x.msa", EmsaDataForm::XY);
  EXPECT_NE(text.find("#XUNITS      : eV\r\n"), std::string::npos);
  EXPECT_NE(text.find("#XPERCHAN    : 10\r\n#OFFSET      : -5\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\n5105, 511\r\n"), std::string::npos);
}

// Every malformed file is refused with the line named, and the spectrum
// shown, its name, calibration, times and status stay as they were.
TEST(EmsaFiles, MalformedFilesAreRefusedNamingTheLineAndChangeNothing) {
  std::string manyOnes;
  for (int i = 0; i < 8193; ++i) manyOnes += "1 ";
  const std::string head = "#FORMAT : EMSA/MAS Spectral Data File\r\n#NPOINTS : 4\r\n#XUNITS : keV\r\n";
  struct Case {
    std::string text;
    EmsaRefusal refusal;
    int line;
  } cases[] = {
      {head + "1 2 3 4\r\n", EmsaRefusal::NoSpectrum, 4},
      {"", EmsaRefusal::NoSpectrum, 1},
      {head + "#SPECTRUM :\r\n1 2 3\r\n#ENDOFDATA :\r\n", EmsaRefusal::TooFewValues, 6},
      {head + "#SPECTRUM :\r\n1 2\r\n3 x4\r\n", EmsaRefusal::TextInData, 6},
      {head + "#SPECTRUM :\r\n1, 2, nan, 4\r\n", EmsaRefusal::TextInData, 5},
      {"#NPOINTS : 8193\r\n#SPECTRUM :\r\n1\r\n", EmsaRefusal::TooManyPoints, 1},
      {"#SPECTRUM :\r\n" + manyOnes + "\r\n", EmsaRefusal::TooManyPoints, 2},
      {head + "#SPECTRUM :\r\n1 -2 3 4\r\n", EmsaRefusal::NegativeCount, 5},
      {head + "#SPECTRUM :\r\n1 2 3 4294967296\r\n", EmsaRefusal::HugeCount, 5},
      {head + "#SPECTRUM :\r\n1 2 3 1e300\r\n", EmsaRefusal::HugeCount, 5},
      {head + "#SPECTRUM :\r\n1 2 3 1e400\r\n", EmsaRefusal::HugeCount, 5},
      {head + "#SPECTRUM :\r\n1 2 3 -1e400\r\n", EmsaRefusal::NegativeCount, 5},
      {"#NPOINTS : 20.5\r\n#SPECTRUM :\r\n1\r\n", EmsaRefusal::BadPointCount, 1},
      {"#NPOINTS : many\r\n#SPECTRUM :\r\n1\r\n", EmsaRefusal::BadPointCount, 1},
      {head + "#XPERCHAN : 1e39\r\n#SPECTRUM :\r\n1 2 3 4\r\n", EmsaRefusal::BadNumber, 4},
      {head + "#LIVETIME -s: -3\r\n#SPECTRUM :\r\n1 2 3 4\r\n", EmsaRefusal::BadNumber, 4},
      {head + "#REALTIME -s: 1e12\r\n#SPECTRUM :\r\n1 2 3 4\r\n", EmsaRefusal::BadNumber, 4},
      {"#DATATYPE : XY\n#SPECTRUM :\n1.0, 5\n1.1\n", EmsaRefusal::UnpairedValue, 4},
      {head + "#SPECTRUM :\r\n#ENDOFDATA :\r\n", EmsaRefusal::NoData, 5},
  };
  for (const Case& c : cases) {
    ImportRig f;
    Session& s = f.session();
    fillAcquired(s, 1024);
    s.Working.setName("shown.dat");
    s.Texts.Edit1 = "before";
    const std::vector<int32_t> counts = s.Working.Counts;
    const SpectrumFileHeader header = s.Working.Header;
    const std::string path = f.dir.path("bad.msa");
    { std::ofstream(path, std::ios::binary) << c.text; }
    const ImportOutcome o = ImportEmsaFile(s, path);
    ASSERT_EQ(o.kind, ImportOutcome::Kind::Refused) << c.text;
    EXPECT_EQ(*o.read.refusal, c.refusal) << c.text;
    EXPECT_EQ(o.read.line, c.line) << c.text;
    EXPECT_EQ(s.Texts.Edit1, "MSA " + describeEmsaRefusal(o.read));
    EXPECT_EQ(s.Texts.Edit1.rfind("MSA line " + std::to_string(c.line) + ": ", 0), 0u);
    EXPECT_EQ(s.Working.Counts, counts);
    EXPECT_TRUE(s.Working.Header == header);
    EXPECT_EQ(s.Working.Name, "shown.dat");
    EXPECT_EQ(s.Acquisition.ChannelCount, 1024);
    EXPECT_EQ(s.Acquisition.LiveTime, 987);
    EXPECT_EQ(s.Calibration.Gain, 0.0100231f);
  }
}

TEST(EmsaFiles, EightThousandPointsFillTheLargestSpectrumAndAFileNotThereIsAReadError) {
  std::string text = "#NPOINTS : 8192\n#SPECTRUM :\n";
  for (int i = 0; i < 8192; ++i) text += "7,";
  ImportRig f;
  Session& s = f.session();
  const ImportOutcome o = importEmsa(s, text, "big.msa");
  ASSERT_EQ(o.kind, ImportOutcome::Kind::Loaded);
  EXPECT_EQ(s.Acquisition.ChannelCount, 8192);
  EXPECT_EQ(s.Working.Counts[8191], 7);

  const ImportOutcome missing = ImportEmsaFile(s, f.dir.path("none.msa"));
  EXPECT_EQ(missing.kind, ImportOutcome::Kind::CannotOpen);
  EXPECT_EQ(s.Texts.Edit1, kFileReadErrorText);
  EXPECT_EQ(s.Working.Name, "big.msa");
}

}  // namespace
}  // namespace tolvane
