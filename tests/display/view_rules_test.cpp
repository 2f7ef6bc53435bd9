// The view rules and memory slots as engine operations: the frames the
// commands send, the channel under the mouse, Snap Peak's outcome and
// SnapShot's, checked on the state without any window text.
#include <gtest/gtest.h>

#include "display/memory_slots.h"
#include "display/view_controls.h"
#include "test_support.h"

namespace tolvane {
namespace {

TEST(ViewRules, CommandFramesForAutoAndScroll) {
  EXPECT_EQ(autoScaleFrame(3), "$V3;");
  EXPECT_EQ(autoScaleFrame(10), "$V:;");
  EXPECT_EQ(autoScaleFrame(20), "$VD;");
  EXPECT_EQ(scrollFrame(ScrollCode::LineLeft), "$l;");
  EXPECT_EQ(scrollFrame(ScrollCode::LineRight), "$r;");
  EXPECT_EQ(scrollFrame(ScrollCode::Other), "$ ;");
  EXPECT_EQ(autoFullScaleStep(250), 3);
  EXPECT_EQ(autoFullScaleStep(2'000'000'000), 20);
}

TEST(ViewRules, MouseChannelsAndSnapPeakStayInsideTheSpectrum) {
  testing::SimRig rig(0);
  Session& s = *rig.session;
  testing::fillSpectrum(s, 1024, [](int c) { return c == 1020 ? 50 : c == 1021 ? 50 : 0; });
  testing::setView(s, 0, 255);  // two pixels per channel
  EXPECT_EQ(channelAtPaintBoxX(s, 16 + 21), 10);
  EXPECT_EQ(channelAtPaintBoxX(s, 0), 0);  // left of the plot
  testing::setView(s, 0, 4095);
  EXPECT_EQ(channelAtPaintBoxX(s, 16 + 511), 1023);  // past the spectrum's end

  s.Display.Cursor = 1015;
  const auto peak = snapPeak(s);
  ASSERT_TRUE(peak);
  EXPECT_FLOAT_EQ(peak->centroid, 1020.5f);
  EXPECT_EQ(peak->cursor, 1021);
  EXPECT_EQ(s.Display.Cursor, 1015);  // only the handler moves it

  s.Display.Cursor = 500;
  EXPECT_FALSE(snapPeak(s));  // nothing above 0 within ten channels
  EXPECT_EQ(viewMaximum(s), 50);
}

TEST(MemorySlotRules, OverlaysToggleAndShowingAMemoryNeedsOne) {
  testing::SimRig rig(0);
  Session& s = *rig.session;
  s.Plot.Live.top.fill(311);
  s.Plot.Live.bottom.fill(311);
  s.SelectedMemory = 0;
  EXPECT_EQ(toggleOverlay(s, s.Plot), OverlayChange::Taken);
  EXPECT_EQ(s.Plot.Snapshot.top[0], 104);  // a zero count lands on row 104
  EXPECT_EQ(toggleOverlay(s, s.Plot), OverlayChange::Cleared);
  EXPECT_FALSE(s.Display.SnapshotShown);
  s.SelectedMemory = 2;
  EXPECT_EQ(toggleOverlay(s, s.Plot), OverlayChange::Taken);
  EXPECT_TRUE(s.Display.Mem2Shown);
  EXPECT_EQ(s.Plot.Mem2.bottom[7], 311);
  s.SelectedMemory = 7;
  EXPECT_EQ(toggleOverlay(s, s.Plot), OverlayChange::NoSlot);

  EXPECT_FALSE(showMemory(s, 0));
  EXPECT_FALSE(showMemory(s, 4));
  EXPECT_TRUE(showMemory(s, 3));
  EXPECT_EQ(s.SelectedMemory, 3);
}

}  // namespace
}  // namespace tolvane
