// The ROI table's engine operations: switching an entry with typed
// settings and the reason it was refused, and the stored gross sums.
#include <gtest/gtest.h>

#include <limits>

#include "roi/roi_page.h"
#include "roi/roi_sums.h"

namespace tolvane {
namespace {

TEST(RoiSwitch, EachRefusalSaysWhyAndKeepsWhatWasStoredBeforeIt) {
  RoiTable table;
  RoiEntry& roi = table.Entries[2];
  roi.LowChannel = 7;
  roi.HighChannel = 9;
  EXPECT_EQ(switchRoi(table, -1, true, {1, 2, "Fe", kRed}), RoiSwitch::NoEntry);
  EXPECT_EQ(switchRoi(table, RoiTable::kEntries, true, {1, 2, "Fe", kRed}), RoiSwitch::NoEntry);

  EXPECT_EQ(switchRoi(table, 2, true, {std::nullopt, 20, "Fe", kRed}), RoiSwitch::BadLow);
  EXPECT_EQ(roi.LowChannel, 7);
  EXPECT_EQ(roi.HighChannel, 9);
  EXPECT_EQ(roi.Shown, 0);

  EXPECT_EQ(switchRoi(table, 2, true, {10, std::nullopt, "Fe", kRed}), RoiSwitch::BadHigh);
  EXPECT_EQ(roi.LowChannel, 10);  // the low channel was already taken
  EXPECT_EQ(roi.HighChannel, 9);
  EXPECT_EQ(roi.Shown, 0);
  EXPECT_EQ(roi.Defined, 0);
}

TEST(RoiSwitch, OnTakesEverySettingAndOffOnlyHides) {
  RoiTable table;
  RoiEntry& roi = table.Entries[5];
  EXPECT_EQ(switchRoi(table, 5, true, {180, 120, "Molybdenum", kRed}), RoiSwitch::Shown);
  EXPECT_EQ(roi.LowChannel, 180);  // stored as given, high below low included
  EXPECT_EQ(roi.HighChannel, 120);
  EXPECT_STREQ(roi.ElementLabel.data(), "Molybde");
  EXPECT_EQ(roi.ElementLabel[7], '\0');
  EXPECT_EQ(roi.Colour, kRed);
  EXPECT_EQ(roi.Defined, 1);
  EXPECT_EQ(roi.Shown, 1);
  EXPECT_EQ(table.SelectedRoi, 5);

  EXPECT_EQ(switchRoi(table, 5, false, {}), RoiSwitch::Hidden);
  EXPECT_EQ(roi.Shown, 0);
  EXPECT_EQ(roi.Defined, 1);
  EXPECT_EQ(roi.LowChannel, 180);

  for (int i = 0; i < RoiTable::kEntries; ++i) EXPECT_EQ(roiGoesToAnalyser(i), i >= 1 && i <= 4) << i;
}

TEST(RoiSums, GrossSumsCountOnlyChannelsInsideTheSpectrumAndOnlyForShownPlotEntries) {
  const int32_t counts[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_FLOAT_EQ(roiGrossSum(counts, 8, 2, 5), 12.0f);    // 3 + 4 + 5, the high channel left out
  EXPECT_FLOAT_EQ(roiGrossSum(counts, 8, -3, 2), 3.0f);    // channels below 0 count nothing
  EXPECT_FLOAT_EQ(roiGrossSum(counts, 8, 6, 100), 15.0f);  // nor past the end
  EXPECT_FLOAT_EQ(roiGrossSum(counts, 8, 5, 5), 0.0f);
  EXPECT_FLOAT_EQ(roiGrossSum(counts, 8, 6, 2), 0.0f);
  EXPECT_EQ(storedGrossSum(-2.9f), -2);
  EXPECT_EQ(storedGrossSum(1e12f), std::numeric_limits<int32_t>::max());

  RoiTable table;
  for (int i : {0, 9, 10}) {
    table.Entries[static_cast<size_t>(i)] = {1, 1, {}, 0, 8, kRed, -1};
  }
  table.Entries[4] = {1, 0, {}, 0, 8, kRed, -1};  // hidden
  storeRoiGrossSums(table, 10, counts, 8);
  EXPECT_EQ(table.Entries[0].GrossSum, 36);
  EXPECT_EQ(table.Entries[9].GrossSum, 36);
  EXPECT_EQ(table.Entries[10].GrossSum, -1);
  EXPECT_EQ(table.Entries[4].GrossSum, -1);
}

}  // namespace
}  // namespace tolvane
