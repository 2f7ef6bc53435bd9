#include <gtest/gtest.h>

#include "test_support.h"

namespace tolvane {
namespace {

TEST(InitialiseState, EverySlotHoldsTheRampAndTheViewStartsInLogScale) {
  testing::SimRig rig;
  Session& s = *rig.session;
  for (int i = 0; i < 4096; ++i) {
    ASSERT_EQ(s.Working.Counts[static_cast<size_t>(i)], i);
    for (const auto& memory : s.Memories) ASSERT_EQ(memory.Counts[static_cast<size_t>(i)], i);
  }
  EXPECT_TRUE(s.Display.LogScale);
  EXPECT_EQ(s.Display.FullScaleIndex, 2);
  EXPECT_EQ(s.Display.FirstShown, 0);
  EXPECT_EQ(s.Display.LastShown, 4095);
  EXPECT_EQ(s.Display.Cursor, 2048);
  EXPECT_EQ(s.Working.capacity(), 8192);
  EXPECT_EQ(s.Memories[2].capacity(), 4096);
}

TEST(InitialiseState, RunStateSetupsAndTablesHaveTheirStartValues) {
  testing::SimRig rig;
  const Session& s = *rig.session;
  EXPECT_EQ(s.Acquisition.DeviceCount, 0);
  EXPECT_EQ(s.Acquisition.DeviceOpen, 0);
  EXPECT_EQ(s.Acquisition.Running, 0);
  EXPECT_EQ(s.Acquisition.Mode, 1);
  EXPECT_EQ(s.Acquisition.ChannelCount, 4096);
  EXPECT_EQ(s.Acquisition.BlockChannels, 128);
  EXPECT_EQ(s.Acquisition.PresetTime, 10000);
  EXPECT_FALSE(s.Timer1.Enabled);
  EXPECT_EQ(s.Timer1.IntervalMs, 100);
  EXPECT_FALSE(s.RunButtonsEnabled);

  EXPECT_EQ(s.Mca.ChannelCount, 4096);
  EXPECT_EQ(s.Mca.PresetTime, 10000);
  EXPECT_FLOAT_EQ(s.Mca.DeadTimePerEvent, 1.8f);
  EXPECT_EQ(s.Scan.MemorySize, 2048);
  EXPECT_EQ(s.Scan.PresetTime, 10);
  EXPECT_EQ(s.Scan.RefreshInterval, 100);

  EXPECT_EQ(s.Display.TextBackColour, 0x000000u);
  EXPECT_EQ(s.Display.CaptionColour, 0xFFFFFFu);
  EXPECT_EQ(s.Display.TraceColour, 0x00FF00u);
  EXPECT_EQ(s.Calibration.Valid, 0);
  EXPECT_FLOAT_EQ(s.MnFit.KAlpha1Energy, 5899.0f);
  EXPECT_FLOAT_EQ(s.MnFit.KAlpha2Energy, 5888.0f);
  for (const RoiEntry& roi : s.Rois.Entries) {
    EXPECT_EQ(roi.Defined, 0);
    EXPECT_EQ(roi.Shown, 0);
    EXPECT_STREQ(roi.ElementLabel.data(), "Xx-NN");
    EXPECT_EQ(roi.Colour, 0u);
  }
  // The MCA slot's header starts all zero.
  EXPECT_EQ(s.AcquisitionTemplate, SpectrumFileHeader{});
}

}  // namespace
}  // namespace tolvane
