// A calibration with a quadratic term in the spectrum file: stored beside
// the straight line that every reader of the format sees, read back, and
// used for the cursor energy and the exports.
#include <gtest/gtest.h>

#include "analysis/energy_calibration.h"
#include "files/csv_export.h"
#include "files/exported_spectrum.h"
#include "files/spec_export.h"
#include "handlers/file_handlers.h"
#include "handlers/view_labels.h"
#include "lines/spectrum_lines.h"
#include "records/little_endian.h"
#include "test_support.h"

namespace tolvane {
namespace {

using testing::readFileBytes;
using testing::writeFileBytes;

constexpr float kGain = 0.0098f, kOffset = -0.015f, kQuadratic = 2.5e-7f;

struct Rig {
  Rig() {
    Session& s = session();
    s.Acquisition.ChannelCount = 2048;
    for (int c = 0; c < 2048; ++c) s.Working.Counts[static_cast<size_t>(c)] = c % 97;
    s.Calibration = {1, {'k', 'e', 'V'}, 0, 0, 0, 0, kGain, kOffset, kQuadratic};
  }
  Session& session() { return *rig.session; }
  testing::SimRig rig{0};
  testing::TempDir dir;
};

TEST(QuadraticCalibrationFile, ReadsBackWithItsTermWhileTheLineStaysWhereEveryReaderLooks) {
  Rig r;
  const std::string path = r.dir.path("quad.dat");
  ASSERT_TRUE(WriteSpectrumFile(r.session(), path));
  const auto bytes = readFileBytes(path);
  ASSERT_EQ(bytes.size(), 1024u + 4u * 2048u);  // the format's length: nothing appended
  EXPECT_EQ(loadF32(&bytes[64]), 0.0f);
  EXPECT_EQ(loadF32(&bytes[68]), kGain);
  EXPECT_EQ(loadF32(&bytes[72]), kOffset);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[720]), 4), "QCAL");

  testing::SimRig other(0);
  Session& t = *other.session;
  ASSERT_TRUE(ReadSpectrumFile(t, path));
  EXPECT_EQ(t.Acquisition.ChannelCount, 2048);
  EXPECT_EQ(t.Calibration.Gain, kGain);
  EXPECT_EQ(t.Calibration.Offset, kOffset);
  EXPECT_EQ(t.Calibration.Quadratic, kQuadratic);
  for (int c = 0; c < 2048; ++c) ASSERT_EQ(t.Working.Counts[static_cast<size_t>(c)], c % 97);
}

TEST(QuadraticCalibrationFile, ATermLeftBehindByAWriterThatChangedTheLineIsNotRead) {
  Rig r;
  const std::string path = r.dir.path("stale.dat");
  ASSERT_TRUE(WriteSpectrumFile(r.session(), path));
  auto bytes = readFileBytes(path);
  // Another program recalibrates: it writes a new gain and keeps the
  // reserved bytes as they were.
  storeF32(&bytes[68], 0.01f);
  writeFileBytes(path, bytes);
  testing::SimRig other(0);
  Session& t = *other.session;
  ASSERT_TRUE(ReadSpectrumFile(t, path));
  EXPECT_EQ(t.Calibration.Gain, 0.01f);
  EXPECT_EQ(t.Calibration.Quadratic, 0.0f);
}

TEST(QuadraticCalibrationFile, TheTwoPointCalibrationRemovesTheTermFromMemoryAndFile) {
  Rig r;
  Session& s = r.session();
  const std::string path = r.dir.path("line.dat");
  ASSERT_TRUE(WriteSpectrumFile(s, path));
  ASSERT_TRUE(ReadSpectrumFile(s, path));
  storeCalibration(s.Calibration, computeCalibration(128, 896, 1.0, 7.0), "keV");
  EXPECT_EQ(s.Calibration.Quadratic, 0.0f);
  ASSERT_TRUE(WriteSpectrumFile(s, path));
  const auto bytes = readFileBytes(path);
  for (int i = 720; i < 736; ++i) EXPECT_EQ(bytes[static_cast<size_t>(i)], 0) << i;
}

TEST(QuadraticCalibrationFile, BytesOfAnotherProgramAtTheBlockAreKeptAndNotTakenForATerm) {
  Rig r;
  Session& s = r.session();
  s.Calibration.Quadratic = 0.0f;
  s.Working.Header.bytes()[720] = 'X';
  s.Working.Header.bytes()[724] = 0x5A;
  const std::string path = r.dir.path("foreign.dat");
  ASSERT_TRUE(WriteSpectrumFile(s, path));
  const auto bytes = readFileBytes(path);
  EXPECT_EQ(bytes[720], 'X');
  EXPECT_EQ(bytes[724], 0x5A);
  testing::SimRig other(0);
  ASSERT_TRUE(ReadSpectrumFile(*other.session, path));
  EXPECT_EQ(other.session->Calibration.Quadratic, 0.0f);
}

TEST(QuadraticCalibrationFile, TheCursorTheLinesAndTheExportsUseTheTerm) {
  Rig r;
  Session& s = r.session();
  s.Display.Cursor = 2000;
  ShowCursorEnergy(s);
  // 2000 x 0.0098 - 0.015 + 2000^2 x 2.5e-7 = 19.585 + 1.0
  EXPECT_EQ(s.Texts.Label8, "   20.59");

  const CalibrationCheck check = lineCalibration(s);
  ASSERT_FALSE(check.error);
  EXPECT_NEAR(check.scale.energy(2000.0), 20.585, 1e-5);
  EXPECT_NEAR(check.scale.channel(20.585), 2000.0, 1e-3);
  EXPECT_NEAR(check.scale.slope(2000.0), 0.0098 + 0.001, 1e-9);

  const ExportedSpectrum e = spectrumShown(s);
  EXPECT_NEAR(e.energyKev(2000), 20.585, 1e-5);
  EXPECT_NE(csvText(e).find("\r\n2000,20.58"), std::string::npos);
  EXPECT_NE(specText(e, "quad.spec").find("#@CALIB -0.015 0.0098 2.5e-07\n"), std::string::npos);
}

}  // namespace
}  // namespace tolvane
