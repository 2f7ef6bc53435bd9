// EMSA files as other programs write them: more values than #NPOINTS, an X
// column that strays from #XPERCHAN and #OFFSET, times with more digits
// than tenths. Each is read with a warning saying what was kept.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "files/emsa_import.h"
#include "files/emsa_reader.h"
#include "test_support.h"

namespace tolvane {
namespace {

const std::string kHead = "#FORMAT : EMSA/MAS Spectral Data File\n#NPOINTS : 4\n#XUNITS : eV\n";

bool mentions(const std::vector<std::string>& warnings, const std::string& text) {
  for (const std::string& w : warnings)
    if (w.find(text) != std::string::npos) return true;
  return false;
}

TEST(EmsaAsFound, ValuesBeyondNpointsAreKeptWithAWarning) {
  EmsaReadOutcome o = readEmsa(kHead + "#SPECTRUM :\n1 2 3 4 5\n#ENDOFDATA :\n");
  ASSERT_TRUE(o.ok()) << describeEmsaRefusal(o);
  EXPECT_EQ(o.spectrum.counts, (std::vector<uint32_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(emsaWarnings(o.spectrum), std::vector<std::string>{"#NPOINTS is 4 but the data hold 5 values: all 5 are kept"});
  testing::SimRig rig(0);
  const ImportOutcome loaded = importEmsa(*rig.session, kHead + "#SPECTRUM :\n1 2 3 4 5\n", "x.msa");
  EXPECT_EQ(importAdjustmentText(loaded), "Kept 5 values, #NPOINTS 4; Padded 5 -> 512 ch");
  // Exactly #NPOINTS warns of nothing; the 8192-point limit still holds.
  EXPECT_TRUE(emsaWarnings(readEmsa(kHead + "#SPECTRUM :\n1 2 3 4\n").spectrum).empty());
  std::string many;
  for (int i = 0; i < 8193; ++i) many += "1 ";
  o = readEmsa(kHead + "#SPECTRUM :\n" + many + "\n");
  EXPECT_EQ(o.refusal, EmsaRefusal::TooManyPoints);
}

TEST(EmsaAsFound, TimesAreRoundedToTheNearestTenth) {
  const EmsaReadOutcome o = readEmsa(kHead + "#LIVETIME -s: 19.997\n#REALTIME -ms: 20049\n#SPECTRUM :\n1 2 3 4\n");
  ASSERT_TRUE(o.ok());
  EXPECT_EQ(o.spectrum.liveTime, 200);  // 19.997 s is 20.0 s, not 19.9
  EXPECT_EQ(o.spectrum.realTime, 200);  // 20.049 s
}

TEST(EmsaAsFound, AnXColumnStrayingOverHalfAChannelGivesTheScale) {
  const std::string head = "#NPOINTS : 5\n#XUNITS : eV\n#DATATYPE : XY\n#XPERCHAN : 10\n#OFFSET : 0\n#SPECTRUM :\n";
  // Within half a channel (0.4): the keywords' scale, no warning.
  EmsaReadOutcome o = readEmsa(head + "0 1\n14 1\n20 1\n30 1\n40 1\n");
  ASSERT_TRUE(o.ok());
  EXPECT_FALSE(o.spectrum.scaleFromXColumn);
  EXPECT_EQ(o.spectrum.gainKev, 0.01f);
  EXPECT_TRUE(emsaWarnings(o.spectrum).empty());
  // 20 eV a channel from 100 eV in the X column: its scale, with a warning.
  o = readEmsa(head + "100 1\n120 1\n140 1\n160 1\n180 1\n");
  ASSERT_TRUE(o.ok());
  EXPECT_TRUE(o.spectrum.scaleFromXColumn);
  EXPECT_NEAR(o.spectrum.gainKev, 0.02, 1e-7);
  EXPECT_NEAR(o.spectrum.offsetKev, 0.1, 1e-7);
  EXPECT_NEAR(o.spectrum.xColumnStrayChannels, 14.0, 1e-9);  // 180 eV against 40 eV, 10 eV a channel
  EXPECT_TRUE(mentions(emsaWarnings(o.spectrum), "the X column's scale is kept, 0.02 keV per channel from 0.1 keV"));
}

// The format's own example file, shipped with HyperSpy's tests: 21 XY
// values under "#NPOINTS : 20." and an X column that drifts from
// #XPERCHAN 3.1 to 0.53 channel by its end.
TEST(EmsaAsFound, TheFormatsExampleFileLoads) {
  const std::string path = "/usr/lib/python3/dist-packages/hyperspy/tests/io/msa_files/example1.msa";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "HyperSpy's test files are not installed";
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const EmsaReadOutcome o = readEmsa(text.str());
  ASSERT_TRUE(o.ok()) << describeEmsaRefusal(o);
  ASSERT_EQ(o.spectrum.counts.size(), 21u);
  EXPECT_EQ(o.spectrum.counts.front(), 4066u);
  EXPECT_EQ(o.spectrum.counts.back(), 4217u);
  const std::vector<std::string> warnings = emsaWarnings(o.spectrum);
  EXPECT_TRUE(mentions(warnings, "#NPOINTS is 20 but the data hold 21 values: all 21 are kept"));
  EXPECT_TRUE(o.spectrum.scaleFromXColumn);
  // The scale kept puts every point of the file within half a channel of
  // its X value, which #XPERCHAN and #OFFSET do not.
  const double xs[] = {520.13, 523.22, 526.32, 529.42, 532.51, 535.61, 538.70, 541.80, 544.90, 547.99, 551.09,
                       554.18, 557.28, 560.38, 563.47, 565.79, 568.89, 571.99, 574.31, 577.40, 580.50};
  for (int i = 0; i < 21; ++i) {
    const double ev = 1000.0 * (static_cast<double>(o.spectrum.offsetKev) + i * static_cast<double>(o.spectrum.gainKev));
    EXPECT_LT(std::fabs(ev - xs[i]), 0.5 * 1000.0 * static_cast<double>(o.spectrum.gainKev)) << i;
  }
  EXPECT_GT(std::fabs(520.13 + 20 * 3.1 - xs[20]), 0.5 * 3.1);
}

}  // namespace
}  // namespace tolvane
