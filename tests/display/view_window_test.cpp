#include "display/view_window.h"

#include <gtest/gtest.h>

namespace tolvane {
namespace {

constexpr int32_t W = 512;

TEST(ViewWindow, ExpandHalvesAboutTheCursorAndStopsAtSixtyFourPixelsPerChannel) {
  ViewWindow v{0, 4095, 2048};
  expandView(v, W, 4096);
  EXPECT_EQ(v.First, 1024);
  EXPECT_EQ(v.Last, 3071);
  expandView(v, W, 4096);
  EXPECT_EQ(v.First, 1536);
  EXPECT_EQ(v.Last, 2559);
  std::vector<int32_t> widths;
  for (int i = 0; i < 10; ++i) {
    expandView(v, W, 4096);
    widths.push_back(v.Last - v.First + 1);
  }
  EXPECT_EQ(widths, (std::vector<int32_t>{512, 256, 128, 64, 32, 16, 8, 8, 8, 8}));
}

TEST(ViewWindow, ExpandKeepsItsWidthAtEitherEdge) {
  ViewWindow left{0, 127, 10};  // 4 px per channel: next is 64 channels
  expandView(left, W, 4096);
  EXPECT_EQ(left.First, 0);
  EXPECT_EQ(left.Last, 63);
  ViewWindow right{3584, 4095, 4090};  // s = 1: next is 256 channels
  expandView(right, W, 4096);
  EXPECT_EQ(right.First, 3840);
  EXPECT_EQ(right.Last, 4095);
}

TEST(ViewWindow, CompressDoublesUpToTheWholeMemory) {
  ViewWindow v{0, 255, 100};  // p = 2
  compressView(v, W, 4096);
  EXPECT_EQ(v.Last - v.First + 1, 512);
  EXPECT_EQ(v.First, 0);
  EXPECT_EQ(v.Cursor, 100);
  ViewWindow k{1536, 2559, 2048};  // s = 2
  compressView(k, W, 4096);
  EXPECT_EQ(k.First, 1024);
  EXPECT_EQ(k.Last, 3071);
  ViewWindow all{0, 4095, 2048};
  compressView(all, W, 4096);
  EXPECT_EQ(all.First, 0);
  EXPECT_EQ(all.Last, 4095);
}

TEST(ViewWindow, CompressAtOnePixelPerChannelGoesToTheNextCoarserWindow) {
  ViewWindow v{1000, 1299, 1100};  // 300 channels: p = 1, q = 0
  compressView(v, W, 4096);
  EXPECT_EQ(v.Last - v.First + 1, 512);
  ViewWindow small{0, 299, 100};
  compressView(small, W, 512);  // the whole memory is only 512 channels
  EXPECT_EQ(small.First, 0);
  EXPECT_EQ(small.Last, 511);
}

TEST(ViewWindow, CompressWorksOnAMemoryNarrowerThanThePlot) {
  ViewWindow v{64, 191, 128};  // 256 channels, expanded to 4 px per channel
  compressView(v, W, 256);
  EXPECT_EQ(v.First, 0);
  EXPECT_EQ(v.Last, 255);
  compressView(v, W, 256);  // the whole memory is in view: nothing changes
  EXPECT_EQ(v.First, 0);
  EXPECT_EQ(v.Last, 255);
  ViewWindow wide{0, 4095, 2048};  // a view wider than a 1024-channel memory
  compressView(wide, W, 1024);
  EXPECT_EQ(wide.Last, 4095);
}

TEST(ViewWindow, ScrollMovesTenChannelsOnlyWhileInsideTheMemory) {
  ViewWindow v{10, 265, 100};
  EXPECT_TRUE(scrollViewLeft(v));
  EXPECT_EQ(v.First, 0);
  EXPECT_EQ(v.Cursor, 90);
  ViewWindow five{5, 260, 100};
  EXPECT_FALSE(scrollViewLeft(five));
  EXPECT_EQ(five.First, 5);
  ViewWindow r{3831, 4086, 4000};
  EXPECT_FALSE(scrollViewRight(r, 4096));  // 4086 + 10 would reach 4096
  ViewWindow r2{3830, 4085, 4000};
  EXPECT_TRUE(scrollViewRight(r2, 4096));
  EXPECT_EQ(r2.Last, 4095);
}

}  // namespace
}  // namespace tolvane
