// The memory slots and the snapshot overlays.
#include "display/memory_slots.h"

#include <gtest/gtest.h>

#include "handlers/mca_handlers.h"
#include "files/spectrum_file.h"
#include "handlers/file_handlers.h"
#include "handlers/memory_handlers.h"
#include "handlers/plot_handlers.h"
#include "handlers/view_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

// A file of 1024 channels holding `value` everywhere, with a calibration
// marker of `marker` and ROI 0 coloured `colour`.
std::string memoryFile(testing::TempDir& dir, const char* name, int32_t value, float marker, Colour24 colour) {
  testing::SimRig rig(0);
  Session& s = *rig.session;
  testing::fillSpectrum(s, 1024, [](int) { return 0; });
  std::fill_n(s.Working.Counts.begin(), 1024, value);
  s.Calibration.Valid = marker == 1.0f ? 0 : 1;
  s.Calibration.Gain = 0.01f;
  s.Rois.Entries[0].Colour = colour;
  s.Acquisition.RealTime = 77;
  const std::string path = dir.path(name);
  EXPECT_TRUE(WriteSpectrumFile(s, path));
  return path;
}

TEST(MemorySlots, ShowingAMemoryTakesItsHeaderCountsAndTimes) {
  testing::SimRig rig(0);
  testing::TempDir dir;
  Session& s = *rig.session;
  const std::string file = memoryFile(dir, "m1.dat", 55, 1.0f, 0xFF0000);
  MemSpecClick(s, 1);
  ASSERT_TRUE(ReadSpectrumFile(s, file));  // fills Mem1 too
  s.Calibration = {1, {'k', 'e', 'V'}, 0, 0, 0, 0, 0.5f, 0.0f};
  McaMemClick(s);
  EXPECT_EQ(s.Working.Name, "MCA");
  EXPECT_EQ(s.Acquisition.ChannelCount, 4096);  // the MCA slot's size in use
  MemSpecClick(s, 1);
  EXPECT_EQ(s.Working.Name, "m1.dat");
  EXPECT_EQ(s.Acquisition.ChannelCount, 1024);
  EXPECT_EQ(s.Working.Counts[1023], 55);
  EXPECT_EQ(s.Acquisition.RealTime, 77);
  EXPECT_EQ(s.Calibration.Gain, 0.5f);      // marker 1.0 keeps the calibration in force
  EXPECT_EQ(s.Rois.Entries[0].Colour, 0u);  // blue does not survive 16 bits
}

TEST(MemorySlots, AnEmptyMemoryShowsItsWholeCapacity) {
  testing::SimRig rig(0);
  Session& s = *rig.session;
  MemSpecClick(s, 3);
  EXPECT_EQ(s.Acquisition.ChannelCount, 4096);
  EXPECT_EQ(s.Working.Counts[4095], 4095);  // the start-up ramp
}

TEST(MemorySlots, SnapShotTwiceLeavesNoOverlayAndTheMcaSnapshotShrinksToTheTopThird) {
  testing::SimRig rig(0);
  Session& s = *rig.session;
  testing::fillSpectrum(s, 4096, [](int c) { return c < 8 ? 0 : 250; });
  s.Display.LogScale = false;
  PaintBox1Paint(s);
  OverLapONClick(s);
  EXPECT_TRUE(s.Display.SnapshotShown);
  EXPECT_EQ(s.Plot.Snapshot.top[0], 104);  // a zero count
  EXPECT_EQ(s.Plot.Snapshot.top[5], 0);    // full scale
  OverLapONClick(s);
  EXPECT_FALSE(s.Display.SnapshotShown);
}

TEST(MemorySlots, TheMem1OverlayStaysFrozenWhenTheViewOrScaleChanges) {
  testing::SimRig rig(0);
  testing::TempDir dir;
  Session& s = *rig.session;
  MemSpecClick(s, 1);
  ASSERT_TRUE(ReadSpectrumFile(s, memoryFile(dir, "m.dat", 100, 1.0f, 0)));
  OverLapONClick(s);
  ASSERT_TRUE(s.Display.Mem1Shown);
  const TraceEnvelope frozen = s.Plot.Mem1;
  McaMemClick(s);
  ExpandClick(s);
  UpDown1Click(s, false);
  EXPECT_EQ(s.Plot.Mem1.top, frozen.top);
  EXPECT_EQ(s.Plot.Mem1.bottom, frozen.bottom);
  EXPECT_TRUE(s.Display.Mem1Shown);
}

TEST(MemorySlots, ASnapshotOf8192ChannelsStaysInsideTheEnvelopeArrays) {
  testing::SimRig rig(0);
  Session& s = *rig.session;
  testing::fillSpectrum(s, 8192, [](int c) { return c; });
  testing::setView(s, 0, 8191);
  PaintBox1Paint(s);
  OverLapONClick(s);  // runs under the sanitizers in CI
  EXPECT_TRUE(s.Display.SnapshotShown);
}

// A run stopped before its preset, then Mem1 shown and the MCA slot again:
// the slot still shows, writes and exports that run: its start, the real
// time it counted, its ROI windows.
TEST(MemorySlots, GoingBackToTheMcaSlotKeepsTheRunsStartTimesAndRoiWindows) {
  testing::SimRig rig;
  testing::TempDir dir;
  Session& s = *rig.session;
  rig.open();
  McaStartClick(s);
  for (int i = 0; i < 17; ++i) rig.tick();
  McaStopClick(s);
  const int32_t counted = s.Acquisition.RealTime;
  ASSERT_GT(counted, 0);
  ASSERT_LT(counted, s.Mca.PresetTime);
  s.Rois.Entries[1].LowChannel = 140;
  s.Rois.Entries[1].HighChannel = 156;
  const SpectrumFileHeader::StartTime started = s.Working.Header.startTime();
  ASSERT_NE(started.year, 0);

  MemSpecClick(s, 1);
  McaMemClick(s);
  EXPECT_EQ(s.Acquisition.RealTime, counted);  // not the preset
  EXPECT_EQ(s.Rois.Entries[1].LowChannel, 140);
  EXPECT_EQ(s.Rois.Entries[1].HighChannel, 156);
  const std::string path = dir.path("back.dat");
  ASSERT_TRUE(WriteSpectrumFile(s, path));
  const SpectrumFileRead read = readSpectrumPath(path);
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(read.header.startTime().year, started.year);
  EXPECT_EQ(read.header.startTime().second, started.second);
  EXPECT_EQ(read.header.realTime(), counted);
  EXPECT_EQ(read.header.roiLow(1), 140);

}

}  // namespace
}  // namespace tolvane
