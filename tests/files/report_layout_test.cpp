// The report's layout in printer pixels.
#include "files/report_layout.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "test_support.h"

namespace tolvane {
namespace {

bool hasText(const ReportModel& m, const std::string& text) {
  return std::any_of(m.texts.begin(), m.texts.end(), [&](const ReportText& t) { return t.text == text; });
}

TEST(ReportLayout, GeometryOfAPage) {
  const ReportGeometry g = reportGeometry(4800, 6600);
  EXPECT_EQ(g.X0, 336);
  EXPECT_EQ(g.Y0, 660);
  EXPECT_EQ(g.XW, 4080);
  EXPECT_EQ(g.YH, 5610);
  EXPECT_EQ(g.FH, 48);
}

TEST(ReportLayout, ChannelTicksAndLabelsFor1024Channels) {
  testing::SimRig rig(0);
  Session& s = *rig.session;
  testing::fillSpectrum(s, 1024, [](int) { return 10; });
  testing::setView(s, 0, 1023);
  const ReportModel m = buildReport(s, 4800, 6600, "d", "t");
  EXPECT_EQ(m.majorStep, 100);
  EXPECT_EQ(m.minorStep, 20);
  EXPECT_TRUE(hasText(m, "0"));
  EXPECT_TRUE(hasText(m, "1023"));
  EXPECT_TRUE(hasText(m, "100"));
  EXPECT_TRUE(hasText(m, "1000"));
  EXPECT_FALSE(hasText(m, "1100"));
  // Minor ticks at 20 .. 1020: the first at row trunc(660 + 20 x 5610/1024).
  const auto tick = std::find_if(m.lines.begin(), m.lines.end(),
                                 [](const ReportLine& l) { return l.from.x == 336 && l.to.x == 336 - 24; });
  ASSERT_NE(tick, m.lines.end());
  EXPECT_EQ(tick->from.y, static_cast<int32_t>(660.0f + 20.0f * (5610.0f / 1024.0f)));
}

TEST(ReportLayout, TraceColourAndLengthFollowTheChannelsPerRow) {
  testing::SimRig rig(0);
  Session& s = *rig.session;
  testing::fillSpectrum(s, 4096, [](int) { return 10; });
  testing::setView(s, 0, 4095);
  ReportModel m = buildReport(s, 4800, 6600, "d", "t");
  EXPECT_EQ(m.channelsPerRow, 0);
  EXPECT_EQ(m.traceColour, kBlack);

  testing::fillSpectrum(s, 8192, [](int) { return 10; });
  testing::setView(s, 0, 8191);
  m = buildReport(s, 4800, 6600, "d", "t");
  EXPECT_EQ(m.channelsPerRow, 1);
  EXPECT_EQ(m.traceColour, kLime);
  EXPECT_EQ(m.trace.back().y, 660 + 5609 + 1);  // 5610 rows: the last 2582 channels are not drawn
}

TEST(ReportLayout, LinearLabelsAndLogPositions) {
  testing::SimRig rig(0);
  Session& s = *rig.session;
  testing::fillSpectrum(s, 1024, [](int c) { return c == 0 ? 1000 : 0; });
  testing::setView(s, 0, 1023);
  s.Display.LogScale = false;
  s.Display.FullScaleIndex = 7;  // 10000
  ReportModel m = buildReport(s, 4800, 6600, "d", "t");
  for (const char* label : {"2 k", "4 k", "6 k", "8 k", "10 k"}) EXPECT_TRUE(hasText(m, label)) << label;
  s.Display.FullScaleIndex = 5;  // 2500
  m = buildReport(s, 4800, 6600, "d", "t");
  for (const char* label : {"500", "1000", "1500", "2000", "2500"}) EXPECT_TRUE(hasText(m, label)) << label;

  s.Display.LogScale = true;
  m = buildReport(s, 4800, 6600, "d", "t");
  EXPECT_TRUE(hasText(m, "10E+06"));
  EXPECT_EQ(m.trace.front().x, 336 + 4080 / 2);  // 1000 counts: half the frame width
  EXPECT_EQ(m.trace.back().x, 336);              // zero counts: the frame edge
}

}  // namespace
}  // namespace tolvane
