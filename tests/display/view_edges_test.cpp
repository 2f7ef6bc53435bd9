// The view and Snap Peak at their edges: a window that would end one
// channel past the memory, the coarsest stride of a small memory, and a
// peak at the edge of the centroid's reach.
#include <gtest/gtest.h>

#include "display/view_window.h"
#include "handlers/view_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

TEST(ViewEdges, AnExpandEndingOneChannelPastTheMemoryIsPulledBackInside) {
  // 2048 channels about cursor 3073 would end at 4096, one past the end.
  ViewWindow view{0, 4095, 3073};
  expandView(view, 512, 4096);
  EXPECT_EQ(view.First, 2048);
  EXPECT_EQ(view.Last, 4095);
  EXPECT_EQ(view.Cursor, 3073);
  // One channel short of the end stays where it lands.
  view = ViewWindow{0, 4095, 3072};
  expandView(view, 512, 4096);
  EXPECT_EQ(view.First, 2048);
  EXPECT_EQ(view.Last, 4095);
}

TEST(ViewEdges, CompressAtTheCoarsestStrideOfA256ChannelMemoryKeepsTheWholeMemory) {
  ViewWindow view{0, 255, 100};
  compressView(view, 512, 256);
  EXPECT_EQ(view.First, 0);
  EXPECT_EQ(view.Last, 255);
  EXPECT_EQ(view.Cursor, 100);
}

TEST(ViewEdges, SnapPeakFindsAPeakFiveChannelsBelowTheCursorAndCentresOnItsElevenChannels) {
  testing::SimRig rig(0);
  Session& s = *rig.session;
  testing::fillSpectrum(s, 1024, [](int) { return 0; });
  s.Working.Counts[95] = 1000;  // the peak, 5 below the cursor
  s.Working.Counts[90] = 10;    // peak - 5: inside the centroid
  s.Working.Counts[100] = 30;   // peak + 5: inside
  s.Working.Counts[89] = 2000;  // cursor - 11 and peak - 6: outside both
  s.Working.Counts[101] = 500;  // peak + 6: outside the centroid
  s.Display.Cursor = 100;
  SnapPeakClick(s);
  // (10 x 90 + 1000 x 95 + 30 x 100) / 1040 = 95.096...
  EXPECT_FLOAT_EQ(s.Display.PeakCentroid, 98900.0f / 1040.0f);
  EXPECT_EQ(s.Texts.Edit1, "   95.10");
  EXPECT_EQ(s.Display.Cursor, 95);
  EXPECT_EQ(s.Texts.Label3, "95");
}

}  // namespace
}  // namespace tolvane
