// The Xfit page's steps on the tables and the fit's storage, without the
// window: registering a standard, ROIs from a loaded table, the sample.
#include "xfit/xfit_commands.h"

#include <gtest/gtest.h>

namespace tolvane {
namespace {

TEST(XfitCommands, AStandardIsRegisteredFromItsRoiAndTheTableSetsRoisBack) {
  RoiTable rois;
  rois.Entries[3] = {1, 1, {'C', 'u', '\0'}, 800, 830, kRed, 0};
  StandardTable table;
  EXPECT_FALSE(registerStandard(table, rois, -1, "x.dat"));
  EXPECT_FALSE(registerStandard(table, rois, StandardTable::kRecords, "x.dat"));
  ASSERT_TRUE(registerStandard(table, rois, 3, "cu.dat"));
  const StandardRecord& r = table.Records[3];
  EXPECT_EQ(r.inUse(), 1);
  EXPECT_EQ(r.fitLowCh(), 800);
  EXPECT_EQ(r.fitHighCh(), 830);
  EXPECT_EQ(r.elemName(), "Cu");
  EXPECT_EQ(r.specFile(), "cu.dat");

  // ROIs 0..count-1 come from records 0..count-1, by table index.
  RoiTable back;
  back.Entries[4].LowChannel = 44;
  setRoisFromTable(back, table, 4);
  EXPECT_EQ(back.Entries[3].LowChannel, 800);
  EXPECT_STREQ(back.Entries[3].ElementLabel.data(), "Cu");
  EXPECT_EQ(back.Entries[3].Colour, kBlue);
  EXPECT_EQ(back.Entries[3].Shown, 0);
  EXPECT_EQ(back.Entries[0].Defined, 1);
  EXPECT_EQ(back.Entries[4].LowChannel, 44);
  EXPECT_EQ(back.SelectedRoi, 3);
}

TEST(XfitCommands, TheSampleIsCutToTheFitsChannelsAndTheRestCleared) {
  TDmVQRN module;
  XfitWorkspace& fit = module.Fit;
  std::vector<int32_t> counts(8192, 3);
  takeSample(fit, counts.data(), 8192);
  EXPECT_EQ(fit.SampleChannels, kFitChannels);
  EXPECT_EQ(fit.SampleCounts[kFitChannels - 1], 3);
  takeSample(fit, counts.data(), 100);
  EXPECT_EQ(fit.SampleChannels, 100);
  EXPECT_EQ(fit.SampleCounts[99], 3);
  EXPECT_EQ(fit.SampleCounts[100], 0);  // nothing left of the longer sample
  takeSample(fit, counts.data(), -5);
  EXPECT_EQ(fit.SampleChannels, 0);
  EXPECT_FALSE(liveTimesDiffer(module, 10));  // no standard selected
}

}  // namespace
}  // namespace tolvane
