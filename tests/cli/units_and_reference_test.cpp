// Through the built program: a spectrum calibrated in eV or keV gives the
// same peaks, lines and exports; resolution refuses what it cannot
// believe; the format's EMSA example imports with its warnings; and the
// reference-sample workflow turns K-ratios into wt%.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <filesystem>
#include <functional>

#include "cli/cli_runner.h"
#include "files/spectrum_file.h"
#include "test_support.h"
#include "xfit/standard_table.h"

namespace tolvane {
namespace {

using testing::runCli;

void writeSpectrum(const std::string& path, const std::function<double(int)>& mean, float gain = 0.0f,
                   float offset = 0.0f, int channels = 1024) {
  std::vector<int32_t> counts(static_cast<size_t>(channels));
  for (int c = 0; c < channels; ++c) counts[static_cast<size_t>(c)] = static_cast<int32_t>(std::lround(mean(c)));
  SpectrumFileHeader h;
  h.setChannelCount(static_cast<int16_t>(channels));
  h.setCalibrationMarker(gain == 0.0f && offset == 0.0f ? 1.0f : 0.0f);
  h.setGain(gain);
  h.setOffset(offset);
  testing::writeFileBytes(path, encodeSpectrumFile(h, counts.data(), channels));
}

double gauss(int c, double centre, double fwhm) {
  const double z = (c - centre) / (fwhm / 2.3548200450309493);
  return std::exp(-0.5 * z * z);
}

QJsonObject json(const std::string& text) { return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object(); }

// Mn K-alpha, Mn K-beta and Cu K-alpha at 10 eV a channel from -20 eV.
double mnCu(int c) {
  const auto at = [](double kev) { return (kev * 1000.0 + 20.0) / 10.0; };
  return 40.0 + 8000.0 * gauss(c, at(5.8988), 14.5) + 1100.0 * gauss(c, at(6.4904), 15.3) +
         3000.0 * gauss(c, at(8.0478), 16.9);
}

TEST(CalibrationUnits, ASpectrumInEvGivesWhatTheSameInKevGives) {
  testing::TempDir dir;
  const std::string kev = dir.path("kev.dat"), ev = dir.path("ev.dat");
  writeSpectrum(kev, mnCu, 0.01f, -0.02f);
  writeSpectrum(ev, mnCu, 10.0f, -20.0f);

  const testing::CliRun peaksKev = runCli({"peaks", kev, "--json"}), peaksEv = runCli({"peaks", ev, "--json"});
  ASSERT_EQ(peaksEv.status, 0) << peaksEv.err;
  const QJsonArray a = json(peaksKev.out)["peaks"].toArray(), b = json(peaksEv.out)["peaks"].toArray();
  ASSERT_GE(a.size(), 3);
  ASSERT_EQ(a.size(), b.size());
  for (int i = 0; i < a.size(); ++i)
    EXPECT_NEAR(a[i].toObject()["energy_kev"].toDouble(), b[i].toObject()["energy_kev"].toDouble(), 1e-5) << i;
  EXPECT_NEAR(b[0].toObject()["energy_kev"].toDouble(), 5.899, 0.01);
  EXPECT_EQ(json(peaksKev.out)["elements"], json(peaksEv.out)["elements"]);
  EXPECT_TRUE(json(peaksEv.out)["elements"].toArray().contains("Mn"));

  // The Mn K-alpha channel: 5.9 keV, not 5900 keV.
  const testing::CliRun id = runCli({"identify", ev, "--cursor", "592", "--json"});
  ASSERT_EQ(id.status, 0) << id.err;
  EXPECT_NEAR(json(id.out)["energy_kev"].toDouble(), 5.9, 1e-6);
  EXPECT_EQ(json(id.out)["candidates"].toArray()[0].toObject()["element"].toString(), "Mn");

  const testing::CliRun csv = runCli({"export", ev, "--format", "csv", "--out", "-"});
  EXPECT_NE(csv.out.find("\n592,5.900000,"), std::string::npos);
  const testing::CliRun msa = runCli({"export", ev, "--format", "msa", "--out", "-"});
  EXPECT_NE(msa.out.find("#XUNITS      : eV\r\n"), std::string::npos);
  EXPECT_NE(msa.out.find("#XPERCHAN    : 10\r\n"), std::string::npos);

  const testing::CliRun resolution = runCli({"resolution", ev, "--json"});
  ASSERT_EQ(resolution.status, 0) << resolution.err;
  EXPECT_NEAR(json(resolution.out)["fwhm_ev"].toDouble(), 145.0, 2.0);
  EXPECT_EQ(json(resolution.out)["flags"].toArray().size(), 0);

  // info names the unit each file's calibration implies.
  EXPECT_EQ(json(runCli({"info", ev, "--json"}).out)["calibration"].toObject()["unit"].toString(), "eV");
  EXPECT_EQ(json(runCli({"info", kev, "--json"}).out)["calibration"].toObject()["unit"].toString(), "keV");
}

TEST(ResolutionCommand, RefusesWhatItCannotBelieveWithTheReason) {
  testing::TempDir dir;
  // Without a calibration, a zero peak far above a Mn K-alpha peak.
  const std::string zero = dir.path("zero.dat");
  writeSpectrum(zero, [](int c) { return 30.0 + (c < 40 ? 2e5 * std::exp(-c / 3.0) : 0.0) + 3000.0 * gauss(c, 590, 14.5); });
  testing::CliRun run = runCli({"resolution", zero, "--json"});
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_EQ(json(run.out)["code"], "fit") << run.out;
  EXPECT_EQ(json(run.out)["error"], "the fit did not converge") << run.out;
  EXPECT_EQ(run.out.find("fwhm_ev"), std::string::npos);

  // A line of 0.7 channels FWHM at 5.9 keV: the fitted width is under the
  // one-channel bound.
  const std::string spike = dir.path("spike.dat");
  writeSpectrum(spike, [](int c) {
    const double s = 2.3548200450309493 / (std::sqrt(2.0) * 0.7);
    return 100.0 + 1e5 * 0.5 * (std::erf((c + 0.5 - 590.2) * s) - std::erf((c - 0.5 - 590.2) * s));
  }, 0.01f, 0.0f);
  run = runCli({"resolution", spike, "--cursor", "590", "--json"});
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_EQ(json(run.out)["code"], "bad_fit") << run.out << run.err;
  EXPECT_TRUE(json(run.out)["error"].toString().startsWith("the width ran to a bound of the fit (FWHM 0."))
      << run.out;
  EXPECT_TRUE(json(run.out)["error"].toString().contains("bounds 1.00 to ")) << run.out;

  // Mn K-alpha with a line of a twentieth of its height 200 eV above:
  // chi2r above 10.
  const std::string crowded = dir.path("crowded.dat");
  writeSpectrum(crowded, [](int c) { return 100.0 + 1e5 * gauss(c, 592, 14.5) + 5e3 * gauss(c, 612, 14.5); }, 0.01f,
                -0.02f);
  run = runCli({"resolution", crowded, "--json"});
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_EQ(json(run.out)["code"], "bad_fit") << run.out << run.err;

  // A gain that is zero or negative is no calibration to fit by.
  for (const float gain : {0.0f, -0.01f, std::nanf("")}) {
    const std::string bad = dir.path("bad.dat");
    writeSpectrum(bad, mnCu, gain, 0.5f);
    run = runCli({"resolution", bad, "--json"});
    EXPECT_EQ(run.status, 1) << gain << run.out;
    EXPECT_EQ(json(run.out)["code"], "no_calibration") << gain << run.out;
  }
}

TEST(ImportCommand, TheFormatsExampleFileImportsWithItsWarnings) {
  const std::string example = "/usr/lib/python3/dist-packages/hyperspy/tests/io/msa_files/example1.msa";
  if (!std::filesystem::exists(example)) GTEST_SKIP() << "HyperSpy's test files are not installed";
  testing::TempDir dir;
  const testing::CliRun run = runCli({"import", example, "--out", dir.path("e.dat")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("warning: " + example + ": #NPOINTS is 20 but the data hold 21 values: all 21 are kept"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("the X column's scale is kept"), std::string::npos) << run.err;
}

// The reference-sample workflow: fit the reference, give its certified
// wt%, fit a sample: wt% = K-ratio x Cf.
TEST(TableWt, AReferenceSamplesWtPercentSetsTheCorrectionFactor) {
  testing::TempDir dir;
  const auto fe = [](int c) { return 10.0 + 1000.0 * gauss(c, 300, 11.77); };
  const auto cu = [](int c) { return 10.0 + 1000.0 * gauss(c, 600, 11.77); };
  writeSpectrum(dir.path("std_fe.dat"), fe);
  writeSpectrum(dir.path("std_cu.dat"), cu);
  writeSpectrum(dir.path("ref.dat"), [&](int c) { return 0.8 * fe(c) + 0.1 * cu(c); });
  writeSpectrum(dir.path("sample.dat"), [&](int c) { return 0.4 * fe(c) + 0.3 * cu(c); });
  const std::string table = dir.path("T.ref");
  ASSERT_EQ(runCli({"table", "new", table}).status, 0);
  const testing::CliRun added = runCli({"table", "add", table, "--element", "Fe", "--spectrum", "std_fe.dat",
                                        "--window", "270:330", "--wt", "96"});
  ASSERT_EQ(added.status, 0) << added.err;
  EXPECT_NE(added.err.find("correction factor stays 1.0000 until the record has a K-ratio"), std::string::npos)
      << added.err;
  ASSERT_EQ(runCli({"table", "add", table, "--element", "Cu", "--spectrum", "std_cu.dat", "--window", "570:630"}).status,
            0);

  // No K-ratio yet: refused, the table as it was.
  const std::vector<uint8_t> before = testing::readFileBytes(table);
  testing::CliRun run = runCli({"table", "wt", table, "0", "96", "--json"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(json(run.out)["code"], "refused") << run.out;
  EXPECT_NE(run.err.find("has no K-ratio yet: fit the reference sample first"), std::string::npos) << run.err;
  EXPECT_EQ(testing::readFileBytes(table), before);
  EXPECT_EQ(runCli({"table", "wt", table, "0", "0"}).status, 2);
  EXPECT_EQ(runCli({"table", "wt", table, "16", "50"}).status, 2);
  EXPECT_EQ(runCli({"table", "wt", table, "5", "50"}).status, 1);  // an empty record

  run = runCli({"xfit", dir.path("ref.dat"), table, "--save", table});
  ASSERT_EQ(run.status, 0) << run.err;
  StandardTable fitted;
  ASSERT_EQ(ReadStandardTableFile(fitted, table), TableReadOutcome::Read);
  const float kRef = fitted.Records[0].kratioPct();
  EXPECT_NEAR(kRef, 80.0, 0.5);

  run = runCli({"table", "wt", table, "0", "96", "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NEAR(json(run.out)["cf"].toDouble(), 96.0 / kRef, 1e-6);
  StandardTable withCf;
  ASSERT_EQ(ReadStandardTableFile(withCf, table), TableReadOutcome::Read);
  EXPECT_EQ(withCf.Records[0].cf(), 96.0f / kRef);  // the editor's rule, in single precision
  EXPECT_EQ(withCf.Records[1].cf(), 1.0f);

  run = runCli({"xfit", dir.path("sample.dat"), table, "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  const QJsonObject feResult = json(run.out)["standards"].toArray()[0].toObject();
  const double k = feResult["kratio_pct"].toDouble();
  EXPECT_NEAR(k, 40.0, 0.5);
  EXPECT_NEAR(feResult["wt_pct"].toDouble(), k * static_cast<double>(withCf.Records[0].cf()), 1e-4);
  EXPECT_NEAR(feResult["wt_pct"].toDouble(), 48.0, 0.7);  // 96 wt% in the reference at K 80, here K 40
}

}  // namespace
}  // namespace tolvane
