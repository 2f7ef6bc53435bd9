// Warnings for a sample measured unlike its standards: one per cause,
// naming the standards it concerns, only when the energy scales differ;
// and a batch's warnings summed up per cause with the count of files.
#include "xfit/sample_warnings.h"

#include <gtest/gtest.h>

#include "xfit/batch_report.h"

namespace tolvane {
namespace {

SpectrumFileHeader header(int32_t liveTenths, float gain, float offset = 0.0f) {
  SpectrumFileHeader h;
  h.setLiveTime(liveTenths);
  h.setCalibrationMarker(gain == 0.0f ? 1.0f : 0.0f);
  h.setGain(gain);
  h.setOffset(offset);
  return h;
}

StandardInUse standard(int index, const char* element, int32_t channels, const SpectrumFileHeader& h) {
  StandardInUse s{index, element, element, {}};
  s.read.outcome = SpectrumFileRead::Outcome::Read;
  s.read.channels = channels;
  s.read.header = h;
  return s;
}

std::vector<SampleWarningCause> causes(const std::vector<SampleWarning>& warnings) {
  std::vector<SampleWarningCause> out;
  for (const SampleWarning& w : warnings) out.push_back(w.cause);
  return out;
}

TEST(SampleWarnings, EnergyScalesAreComparedByCalibrationWhereBothHaveOne) {
  const std::vector<StandardInUse> calibrated = {standard(0, "Ti", 2048, header(600, 10.0f)),
                                                 standard(1, "Cr", 2048, header(600, 10.0f))};
  // More channels, the same eV per channel: nothing to say.
  EXPECT_TRUE(sampleWarnings(header(600, 10.0f), 4096, calibrated).empty());
  // Within a tenth of a channel over the fit's channels is the same scale.
  EXPECT_TRUE(sampleWarnings(header(600, 10.0f, 0.5f), 4096, calibrated).empty());
  // Another scale: one warning naming both standards.
  const auto other = sampleWarnings(header(600, 20.0f), 2048, calibrated);
  ASSERT_EQ(causes(other), std::vector{SampleWarningCause::CalibrationsDiffer});
  EXPECT_NE(other[0].text.find("standards No.1 (Ti), No.2 (Cr): the fit windows do not mean the same energies"),
            std::string::npos)
      << other[0].text;
  // An offset of two channels is another scale too.
  EXPECT_EQ(causes(sampleWarnings(header(600, 10.0f, 20.0f), 2048, calibrated)),
            std::vector{SampleWarningCause::CalibrationsDiffer});
}

TEST(SampleWarnings, CalibrationsInEvAndKevOnTheSameScaleAgree) {
  // Standards calibrated in keV, 10 eV per channel from 0.
  const std::vector<StandardInUse> kev = {standard(0, "Ti", 2048, header(600, 0.01f)),
                                          standard(1, "Cu", 2048, header(600, 0.01f))};
  // The sample calibrated in eV to the same scale: no warning.
  EXPECT_TRUE(sampleWarnings(header(600, 10.0f), 2048, kev).empty());
  // The same in eV with an offset of 5 eV (half a channel) is another scale.
  EXPECT_EQ(causes(sampleWarnings(header(600, 10.0f, 5.0f), 2048, kev)),
            std::vector{SampleWarningCause::CalibrationsDiffer});
  // Each spectrum's unit is told from its own channel count: a keV sample of
  // 4096 channels against eV standards of 1024 channels is the same scale.
  const std::vector<StandardInUse> ev = {standard(0, "Fe", 1024, header(600, 10.0f))};
  EXPECT_TRUE(sampleWarnings(header(600, 0.01f), 4096, ev).empty());
  // In eV, 20 eV per channel against 10 eV per channel in keV still differs.
  EXPECT_EQ(causes(sampleWarnings(header(600, 20.0f), 2048, kev)), std::vector{SampleWarningCause::CalibrationsDiffer});
}

TEST(SampleWarnings, WithoutCalibrationsChannelCountsAndLiveTimesAreGroupedByValue) {
  const std::vector<StandardInUse> standards = {
      standard(0, "Ti", 2048, header(600, 0.0f)), standard(1, "Cr", 2048, header(600, 0.0f)),
      standard(2, "Fe", 1024, header(300, 0.0f)), standard(3, "Cu", 4096, header(50, 0.0f))};
  const auto warnings = sampleWarnings(header(50, 0.0f), 4096, standards);
  ASSERT_EQ(causes(warnings), (std::vector{SampleWarningCause::ChannelsDiffer, SampleWarningCause::LiveTimesDiffer}));
  EXPECT_EQ(warnings[0].text,
            "the sample has 4096 channels, standards No.1 (Ti), No.2 (Cr) 2048 channels; standard No.3 (Fe) 1024 "
            "channels, and no calibrations show the same energy scale: the fit windows may not mean the same energies");
  EXPECT_EQ(warnings[1].text,
            "live times differ: sample 5.0 s, standards No.1 (Ti), No.2 (Cr) 60.0 s; standard No.3 (Fe) 30.0 s; the "
            "K-ratio is a count ratio, kratio_pct_lt is per live time");
  // A standard that can no longer be read says nothing.
  std::vector<StandardInUse> unreadable = {standards[0]};
  unreadable[0].read.outcome = SpectrumFileRead::Outcome::CannotOpen;
  EXPECT_TRUE(sampleWarnings(header(50, 0.0f), 4096, unreadable).empty());
}

TEST(SampleWarnings, ABatchSumsItsWarningsUpOncePerCauseWithTheCountOfFiles) {
  const std::vector<StandardInUse> standards = {standard(0, "Fe", 2048, header(600, 0.0f))};
  WarningSummary summary;
  for (int i = 0; i < 2000; ++i)
    summary.add("s" + std::to_string(i) + ".dat", sampleWarnings(header(0, 0.0f), i < 3 ? 1024 : 2048, standards));
  const auto lines = summary.lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("3 files: channel count differs", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find("(first s0.dat: the sample has 1024 channels"), std::string::npos) << lines[0];
  EXPECT_EQ(lines[1].rfind("2,000 files: live time differs from the standards': K-ratios are count ratios", 0), 0u)
      << lines[1];
  // Each file's own detail is in its row's flags.
  BatchFileResult fitted;
  fitted.status = BatchFileStatus::Fitted;
  const std::string row = batchCsvRow("s0.dat", fitted, standards, sampleWarnings(header(0, 0.0f), 1024, standards));
  EXPECT_EQ(row, "s0.dat,0,0,,,,channels_differ;live_time_differs");
}

}  // namespace
}  // namespace tolvane
