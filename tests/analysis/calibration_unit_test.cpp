// A calibration's unit is told by its size: one spectrum calibrated in eV
// or in keV gives the same energies to the line tools and the exports,
// whatever unit text the calibration page holds from before.
#include "analysis/calibration_unit.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "files/emsa_reader.h"
#include "files/export_file.h"
#include "lines/spectrum_lines.h"
#include "test_support.h"

namespace tolvane {
namespace {

TEST(CalibrationUnit, TheLastChannelsEnergyAbove500MeansEv) {
  EXPECT_EQ(calibrationUnit(0.01f, -0.1f, 2048), CalibrationUnit::KeV);
  EXPECT_EQ(calibrationUnit(10.0f, -100.0f, 2048), CalibrationUnit::EV);
  // 1001 channels: the last is channel 1000.
  EXPECT_EQ(calibrationUnit(0.5f, 0.0f, 1001), CalibrationUnit::KeV);  // 500 exactly is keV
  EXPECT_EQ(calibrationUnit(0.5f, 0.5f, 1001), CalibrationUnit::EV);
  // A wide keV calibration: 4096 channels at 0.05 keV end at 204.75 keV.
  EXPECT_EQ(calibrationUnit(0.05f, 0.0f, 4096), CalibrationUnit::KeV);
  EXPECT_EQ(calibrationInKev(0.05f, 0.0f, 4096).energyKev(4095), static_cast<double>(4095.0f * 0.05f));
  EXPECT_EQ(calibrationUnit(1.0f, 0.0f, 1024), CalibrationUnit::EV);  // 1023 eV: a short spectrum in eV
  EXPECT_EQ(calibrationUnit(0.01f, 0.0f, 0), CalibrationUnit::KeV);  // no channels: channel 0

  const KevCalibration ev = calibrationInKev(10.0f, -100.0f, 2048);
  EXPECT_DOUBLE_EQ(ev.gainKev, 0.01);
  EXPECT_DOUBLE_EQ(ev.offsetKev, -0.1);
  EXPECT_DOUBLE_EQ(ev.energyKev(600), 5.9);
  const KevCalibration kev = calibrationInKev(0.01f, -0.1f, 2048);
  EXPECT_NEAR(kev.energyKev(600), 5.9, 1e-6);
}

struct Calibrated {
  testing::SimRig rig{0};
  Session& s() { return *rig.session; }
  Calibrated(float gain, float offset, const char* unit) {
    testing::fillSpectrum(s(), 1024, [](int c) { return 50 + (c == 600 ? 5000 : 0) + (c == 601 ? 2000 : 0); });
    s().Calibration = {1, {}, 0, 0, 0, 0, gain, offset};
    for (size_t i = 0; unit[i] != '\0' && i < 7; ++i) s().Calibration.UnitText[i] = unit[i];
  }
};

TEST(CalibrationUnit, OneSpectrumInEvOrKevGivesTheSameLinesAndExports) {
  // The unit text is whatever the page held: a spectrum file keeps none.
  Calibrated inKev(0.01f, -0.1f, "eV"), inEv(10.0f, -100.0f, "keV"), bare(10.0f, -100.0f, "");
  const CalibrationCheck a = lineCalibration(inKev.s()), b = lineCalibration(inEv.s()), c = lineCalibration(bare.s());
  ASSERT_FALSE(a.error);
  ASSERT_FALSE(b.error);
  EXPECT_NEAR(a.scale.gain, 0.01, 1e-9);
  EXPECT_NEAR(a.scale.offset, -0.1, 1e-8);
  EXPECT_NEAR(b.scale.gain, a.scale.gain, 1e-9);
  EXPECT_NEAR(b.scale.offset, a.scale.offset, 1e-8);
  EXPECT_EQ(c.scale.gain, b.scale.gain);

  // The CSV's energies agree to the precision of a single-precision
  // calibration (a few parts in 10^7 of the energy).
  std::istringstream csvKev(exportText(inKev.s(), ExportFormat::Csv, "a.csv"));
  std::istringstream csvEv(exportText(inEv.s(), ExportFormat::Csv, "a.csv"));
  std::string lineKev, lineEv;
  int rows = 0;
  while (std::getline(csvKev, lineKev) && std::getline(csvEv, lineEv)) {
    if (rows++ == 0) continue;  // the header
    const double eKev = std::stod(lineKev.substr(lineKev.find(',') + 1));
    const double eEv = std::stod(lineEv.substr(lineEv.find(',') + 1));
    ASSERT_NEAR(eKev, eEv, 2e-6) << rows;
    ASSERT_EQ(lineKev.substr(lineKev.rfind(',')), lineEv.substr(lineEv.rfind(','))) << rows;
  }
  EXPECT_EQ(rows, 1025);
  const std::string specKev = exportText(inKev.s(), ExportFormat::Spec, "a.spec");
  const std::string specEv = exportText(inEv.s(), ExportFormat::Spec, "a.spec");
  EXPECT_NE(specEv.find("#@CALIB -0.1 0.01 0\n"), std::string::npos);
  EXPECT_NE(specKev.find("#@CALIB -0.1 0.01 0\n"), std::string::npos);
  const std::string msaEv = exportText(inEv.s(), ExportFormat::Msa, "a.msa");
  EXPECT_NE(msaEv.find("#XUNITS      : eV\r\n"), std::string::npos);
  EXPECT_NE(msaEv.find("#XPERCHAN    : 10\r\n"), std::string::npos);
  const EmsaReadOutcome backEv = readEmsa(msaEv), backKev = readEmsa(exportText(inKev.s(), ExportFormat::Msa, "a.msa"));
  ASSERT_TRUE(backEv.ok() && backKev.ok());
  EXPECT_EQ(backEv.spectrum.gainKev, backKev.spectrum.gainKev);
  EXPECT_EQ(backEv.spectrum.offsetKev, backKev.spectrum.offsetKev);
}

}  // namespace
}  // namespace tolvane
