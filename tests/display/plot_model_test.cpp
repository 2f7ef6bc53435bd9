// The plot as numbers: rows, envelopes, ROI sums and columns, ticks,
// readouts and the cursor marker.
#include "display/plot_model.h"

#include <gtest/gtest.h>

#include "handlers/plot_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

constexpr int32_t H = kPlotHeight;

TEST(PlotRows, LogAndLinearRowsFollowTheirMappings) {
  EXPECT_EQ(countRow(0, true, 2, H), H - 1);
  EXPECT_EQ(countRow(1, true, 2, H), H - 1);  // log10(1) = 0
  EXPECT_EQ(countRow(10, true, 2, H), H - 52);
  EXPECT_EQ(countRow(1'000'000, true, 2, H), 0);
  EXPECT_EQ(countRow(-1, true, 2, H), H - 1);
  EXPECT_EQ(countRow(0, false, 2, H), H - 1);
  EXPECT_EQ(countRow(250, false, 2, H), 0);  // full scale reaches row 0
  EXPECT_EQ(countRow(125, false, 2, H), 156);
  EXPECT_LT(countRow(251, false, 2, H), 0);  // above full scale: clipped by the picture
  EXPECT_EQ(countRow(-5, false, 2, H), H - 1);
  // The product must not overflow for the largest count.
  EXPECT_EQ(countRow(2'147'483'647, false, 1, H), kTopmostRow);
  EXPECT_EQ(countRow(1'000'000'000, false, 22, H), 0);
}

TEST(PlotColumns, StrideIsSignedPixelsPerChannelWhenExpanded) {
  EXPECT_EQ(columnMapping(0, 255, 512).s, -2);
  EXPECT_EQ(columnMapping(0, 255, 512).p, 2);
  EXPECT_EQ(columnMapping(0, 511, 512).s, 1);
  EXPECT_EQ(columnMapping(0, 4095, 512).s, 8);
  EXPECT_EQ(columnMapping(0, 8191, 512).s, 16);
  EXPECT_EQ(columnMapping(100, 107, 512).p, 64);
  EXPECT_TRUE(columnMapping(10, 5, 512).expanded());  // a reversed window never divides by zero
}

struct PlotRig {
  PlotRig() { s.Texts.Edit1.clear(); }
  void spectrum(int m, int32_t (*f)(int)) { testing::fillSpectrum(s, m, f); }
  void view(int32_t first, int32_t last) { testing::setView(s, first, last); }
  testing::SimRig rig{0};
  Session& s = *rig.session;
};

TEST(PlotEnvelope, ExpandedColumnsRepeatTheirChannelAndCompressedColumnsSpanMinToMax) {
  PlotRig r;
  r.spectrum(8192, [](int c) { return c % 16 == 3 ? 1000 : c % 16; });
  r.s.Display.LogScale = false;
  r.s.Display.FullScaleIndex = 4;  // 1000 counts

  r.view(0, 255);  // p = 2
  PaintBox1Paint(r.s);
  const TraceEnvelope& e = r.s.Plot.Live;
  EXPECT_EQ(e.top[6], countRow(1000, false, 4, H));  // channel 3
  EXPECT_EQ(e.top[7], e.top[6]);
  EXPECT_EQ(e.top[8], countRow(4, false, 4, H));
  EXPECT_EQ(e.bottom[8], e.top[8]);

  r.view(0, 511);  // s = 1: one channel per column
  PaintBox1Paint(r.s);
  EXPECT_EQ(e.top[3], 0);
  EXPECT_EQ(e.top[5], e.bottom[5]);

  r.view(0, 4095);  // s = 8: column 0 holds 0..7, column 1 holds 8..15
  PaintBox1Paint(r.s);
  EXPECT_EQ(e.top[0], 0);
  EXPECT_EQ(e.bottom[0], countRow(0, false, 4, H));
  EXPECT_EQ(e.top[1], countRow(15, false, 4, H));
  EXPECT_EQ(e.bottom[1], countRow(8, false, 4, H));

  r.view(0, 8191);  // s = 16
  PaintBox1Paint(r.s);
  EXPECT_EQ(r.s.Plot.Mapping.s, 16);
  EXPECT_EQ(e.top[511], 0);
  EXPECT_EQ(e.bottom[511], H - 1);
}

TEST(PlotEnvelope, ColumnsPastTheSpectrumsEndLieOnTheBottomRow) {
  PlotRig r;
  r.spectrum(1020, [](int) { return 7; });
  r.view(0, 4095);  // a 4096-channel view over a shorter memory, s = 8
  PaintBox1Paint(r.s);
  const TraceEnvelope& e = r.s.Plot.Live;
  EXPECT_EQ(e.top[0], countRow(7, true, 2, H));
  EXPECT_EQ(e.bottom[0], countRow(7, true, 2, H));
  // Column 127 holds 1016..1023: four channels exist, four count 0.
  EXPECT_EQ(e.top[127], countRow(7, true, 2, H));
  EXPECT_EQ(e.bottom[127], H - 1);
  for (int x = 128; x < 512; ++x) {
    ASSERT_EQ(e.top[static_cast<size_t>(x)], H - 1) << x;
    ASSERT_EQ(e.bottom[static_cast<size_t>(x)], H - 1) << x;  // no full-height bar
  }
  // The same in linear mode, and the readouts are still there.
  r.s.Display.LogScale = false;
  r.s.Display.FullScaleIndex = 1;
  PaintBox1Paint(r.s);
  EXPECT_EQ(e.bottom[300], H - 1);
  EXPECT_FALSE(r.s.Plot.Readouts.empty());
}

RoiEntry& showRoi(Session& s, int i, int32_t low, int32_t high, Colour24 colour = kRed) {
  RoiEntry& roi = s.Rois.Entries[static_cast<size_t>(i)];
  roi.LowChannel = low;
  roi.HighChannel = high;
  roi.Colour = colour;
  roi.Shown = roi.Defined = 1;
  return roi;
}

TEST(PlotRois, GrossStopsBeforeTheHighChannelAndNetSubtractsTheSideAverages) {
  PlotRig r;
  r.spectrum(1024, [](int c) { return c >= 100 && c < 110 ? 50 : 2; });
  r.view(0, 1023);
  RoiEntry& roi = showRoi(r.s, 0, 100, 110);
  PaintBox1Paint(r.s);
  ASSERT_EQ(r.s.Plot.Rois.size(), 1u);
  const RoiMark& mark = r.s.Plot.Rois[0];
  EXPECT_EQ(roi.GrossSum, 500);
  // L = (50 + 2 + 2) x 0.33333, R = (2 + 2 + 2) x 0.33333, B = (L + R) x 10 / 2
  const float left = 54.0f * 0.33333f, right = 6.0f * 0.33333f;
  const float background = (left + right) * 10.0f * 0.5f;
  char expected[32];
  std::snprintf(expected, sizeof expected, "%12.1f", static_cast<double>(500.0f - background));
  EXPECT_EQ(mark.net.text, expected);
  EXPECT_EQ(mark.gross.text, "       500.0");
  EXPECT_EQ(mark.gross.x, 510);
  EXPECT_TRUE(mark.gross.rightAligned);
  EXPECT_EQ(mark.label.text, "Xx-NN");
  EXPECT_EQ(mark.label.x, 420);
  EXPECT_EQ(mark.label.y, 5);
  EXPECT_TRUE(mark.shaded);
  EXPECT_EQ(mark.xs, 50);  // s = 2
  EXPECT_EQ(mark.xe, 55);
}

TEST(PlotRois, ColumnRangesAtTheWindowEdges) {
  PlotRig r;
  r.spectrum(4096, [](int c) { return c; });
  r.view(1000, 1511);            // s = 1
  showRoi(r.s, 1, 1400, 1600);   // past the right edge
  showRoi(r.s, 2, 900, 1010);    // starts left of the window
  showRoi(r.s, 3, 1200, 1200);   // high <= low
  showRoi(r.s, 12, 1100, 1200);  // entries 10..15 are never drawn
  PaintBox1Paint(r.s);
  ASSERT_EQ(r.s.Plot.Rois.size(), 3u);
  const RoiMark& past = r.s.Plot.Rois[0];
  EXPECT_FALSE(past.shaded);
  EXPECT_EQ(past.label.y, 35);
  EXPECT_EQ(past.gross.text, "    299900.0");  // sums and texts stay
  const RoiMark& left = r.s.Plot.Rois[1];
  EXPECT_TRUE(left.shaded);
  EXPECT_EQ(left.xs, 0);
  EXPECT_EQ(left.xe, 10);
  const RoiMark& empty = r.s.Plot.Rois[2];
  EXPECT_EQ(r.s.Rois.Entries[3].GrossSum, 0);
  EXPECT_EQ(empty.shortLabel.y, H - 19);
  EXPECT_EQ(empty.shortLabel.text, "Xx");
  EXPECT_EQ(r.s.Rois.Entries[12].GrossSum, 0);
}

TEST(PlotRois, ChannelsOutsideTheSpectrumCountZeroInEverySum) {
  PlotRig r;
  r.spectrum(512, [](int c) { return c == 0 ? 30 : (c == 511 ? 90 : 0); });
  r.view(0, 511);
  showRoi(r.s, 0, 0, 3);
  showRoi(r.s, 1, 508, 511);
  PaintBox1Paint(r.s);
  // ROI 0's left side is channel 0 alone, ROI 1's right side channel 511.
  char net0[32], net1[32];
  std::snprintf(net0, sizeof net0, "%12.1f", static_cast<double>(30.0f - (30.0f * 0.33333f) * 3.0f * 0.5f));
  std::snprintf(net1, sizeof net1, "%12.1f", static_cast<double>(0.0f - (90.0f * 0.33333f) * 3.0f * 0.5f));
  EXPECT_EQ(r.s.Plot.Rois[0].net.text, net0);
  EXPECT_EQ(r.s.Plot.Rois[1].net.text, net1);

  // A 1024-channel memory with an ROI wholly past its end: nothing there.
  r.spectrum(1024, [](int) { return 1023; });
  r.view(0, 4095);
  showRoi(r.s, 0, 1100, 1200);
  showRoi(r.s, 1, 1022, 1030);  // straddles the end: two channels exist
  PaintBox1Paint(r.s);
  EXPECT_EQ(r.s.Plot.Rois[0].gross.text, "         0.0");
  EXPECT_EQ(r.s.Plot.Rois[0].net.text, "         0.0");
  EXPECT_EQ(r.s.Plot.Rois[1].gross.text, "      2046.0");
  char straddle[32];
  std::snprintf(straddle, sizeof straddle, "%12.1f",
                static_cast<double>(2046.0f - (3069.0f * 0.33333f + 0.0f) * 8.0f * 0.5f));
  EXPECT_EQ(r.s.Plot.Rois[1].net.text, straddle);
}

TEST(PlotRois, BackgroundAndNetAreFormedInSinglePrecision) {
  PlotRig r;
  // 98, 99: 250; 100 .. 139: 731; 140 .. 142: 175. Formed in double the net
  // would read 17533.4.
  r.spectrum(1024, [](int c) { return c < 98 ? 0 : c < 100 ? 250 : c < 140 ? 731 : c < 143 ? 175 : 0; });
  r.view(0, 1023);
  showRoi(r.s, 0, 100, 140);
  PaintBox1Paint(r.s);
  EXPECT_EQ(r.s.Plot.Rois[0].gross.text, "     29240.0");
  EXPECT_EQ(r.s.Plot.Rois[0].net.text, "     17533.5");
}

TEST(PlotReadouts, FormatsEdgesAndTheIdleRate) {
  PlotRig r;
  r.s.Acquisition.CountRate = 12.5f;
  r.s.Acquisition.Running = 0;
  r.s.Working.setName("run.dat");
  r.s.Working.Header.setComment("steel");
  PaintBox1Paint(r.s);
  const auto& t = r.s.Plot.Readouts;
  ASSERT_GE(t.size(), 8u);
  EXPECT_EQ(t[0].text, "  1000.0");
  EXPECT_EQ(t[0].x, 175);
  EXPECT_TRUE(t[0].rightAligned);
  EXPECT_EQ(r.s.Acquisition.CountRate, 0.0f);
  EXPECT_EQ(t[4].text, "    0.00");
  EXPECT_EQ(t[4].x, 375);
  EXPECT_EQ(t[6].text, "run.dat");
  EXPECT_EQ(t[7].text, "steel");
  EXPECT_EQ(t[7].y, 18);

  r.s.Acquisition.Running = 1;
  r.s.Acquisition.CountRate = 12.5f;
  r.s.Display.LogScale = false;
  r.s.Display.FullScaleIndex = 14;
  PaintBox1Paint(r.s);
  EXPECT_EQ(t[4].text, "         ");  // the blanks, then the step label
  EXPECT_EQ(t[5].text, "2,5M");
  EXPECT_EQ(t[5].x, 10);
  EXPECT_EQ(t[6].text, "   12.50");
  EXPECT_EQ(t[8].text, "  * ACQ *");
  EXPECT_EQ(t[8].colour, kRed);
}

TEST(PlotCursor, TheMarkerIs25RowsAboveTheTraceAndAbsentAtColumnZero) {
  PlotRig r;
  r.spectrum(4096, [](int) { return 100; });
  r.view(0, 255);  // p = 2
  r.s.Display.Cursor = 10;
  PaintBox1Paint(r.s);
  const CursorMark& m = r.s.Plot.Cursor;
  ASSERT_TRUE(m.shown);
  EXPECT_EQ(m.x, 21);  // column 20 plus half a channel's width
  EXPECT_EQ(m.toRow, countRow(100, true, 2, H));
  EXPECT_EQ(m.toRow - m.fromRow, 25);
  r.s.Display.Cursor = 0;
  PaintBox1Paint(r.s);
  EXPECT_FALSE(r.s.Plot.Cursor.shown);
  EXPECT_EQ(r.s.Texts.Label7, "100");
}

TEST(PlotTicks, ChannelTicksFollowTheStepRuleAndNeedTenChannels) {
  EXPECT_TRUE(channelTicks(100, 108, 512).empty());
  const auto ticks = channelTicks(0, 4095, 512);  // step 200, 20 majors, 9 minors each
  ASSERT_EQ(ticks.size(), 200u);
  EXPECT_EQ(ticks[0].x, 0);
  EXPECT_EQ(ticks[0].length, 18);
  EXPECT_EQ(ticks[10].x, 200 * 512 / 4095);
  EXPECT_EQ(ticks[1].length, 10);
  EXPECT_EQ(ticks[1].x, static_cast<int32_t>(std::trunc((1 * 512 * 200 / 4095) * 0.1 + 0.5)));
  const auto fine = channelTicks(0, 100, 512);  // step 10: majors only
  ASSERT_EQ(fine.size(), 10u);
  EXPECT_EQ(fine[1].x, 10 * 512 / 100);
}

TEST(PlotFrame, GridRowsAndScaleTicks) {
  PlotRig r;
  DrawLogFrame(r.s, true);
  EXPECT_TRUE(r.s.Display.LogScale);
  EXPECT_EQ(r.s.Plot.Frame.gridRows, (std::vector<int32_t>{311, 259, 207, 155, 103, 51, -1}));
  std::vector<int32_t> minors;
  for (const StripLine& l : r.s.Plot.Frame.stripLines)
    if (l.x0 == 4 && l.row > kScaleStripHeight - 53) minors.push_back(kScaleStripHeight - l.row - 1);
  EXPECT_EQ(minors, (std::vector<int32_t>{16, 25, 31, 36, 40, 44, 47, 50}));
  EXPECT_EQ(r.s.Plot.Frame.stripLabels[1].text, "e1");
  EXPECT_EQ(r.s.Plot.Frame.stripLabels[1].y, kScaleStripHeight - 51 - 13);

  DrawLinearFrame(r.s, true);
  EXPECT_FALSE(r.s.Display.LogScale);
  EXPECT_EQ(r.s.Plot.Frame.gridRows, (std::vector<int32_t>{311, 249, 187, 125, 63, 1}));
  minors.clear();
  for (const StripLine& l : r.s.Plot.Frame.stripLines)
    if (l.x0 == 4 && l.row > kScaleStripHeight - 63) minors.push_back(kScaleStripHeight - 1 - l.row);
  EXPECT_EQ(minors, (std::vector<int32_t>{6, 12, 19, 25, 31, 37, 43, 50, 56}));
}

TEST(PlotFrame, ThePreviewCoversTheWholeMemoryFromChannelZero) {
  PlotRig r;
  r.spectrum(4096, [](int c) { return c == 4095 ? 1'000'000 : 1; });
  r.view(100, 200);
  DrawLogFrame(r.s, true);
  const auto& preview = r.s.Plot.Frame.preview;
  EXPECT_EQ(preview.size(), 4096u);  // q = 8 pixels per column
  EXPECT_EQ(preview.back().x, 511);
  EXPECT_EQ(preview.back().y, 0);
  EXPECT_EQ(r.s.Plot.Live.top[511], 0);
  EXPECT_EQ(r.s.Plot.Live.top[0], H - 1);
}

}  // namespace
}  // namespace tolvane

namespace tolvane {
namespace {

TEST(PlotRows, TheLogRowLookupAgreesWithLog10AtEveryStep) {
  // Every count where the log height changes, and its neighbours.
  for (int64_t h = 1; h <= 9 * 52; ++h) {
    const double edge = std::pow(10.0, static_cast<double>(h) / 52);
    if (edge > 2.1e9) break;
    for (int64_t v = static_cast<int64_t>(edge) - 2; v <= static_cast<int64_t>(edge) + 2; ++v) {
      if (v < 1 || v > INT32_MAX) continue;
      const auto expected = static_cast<int32_t>(std::max<int64_t>(
          312 - static_cast<int64_t>(std::trunc(std::log10(static_cast<double>(v)) * 52)), kTopmostRow));
      ASSERT_EQ(countRow(static_cast<int32_t>(v), true, 2, 312), std::min(expected, 311)) << v;
    }
  }
  EXPECT_EQ(countRow(INT32_MAX, true, 2, 312), 312 - 485);
}

}  // namespace
}  // namespace tolvane
