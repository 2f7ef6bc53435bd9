// The ROI page: selecting, switching on and off, typing checks, pick-up.
#include "roi/roi_page.h"

#include <gtest/gtest.h>

#include "handlers/roi_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

struct RoiRig {
  RoiRig() {
    rig.open();
    rig.analyser().clearFrameLog();
  }
  Session& s() { return *rig.session; }
  void switchOn(int entry, const char* low, const char* high, const char* element = "Fe", Colour24 colour = kBlue) {
    ROINoSelectChange(s(), entry);
    s().RoiPage.Colour = colour;
    s().RoiPage.Low = low;
    s().RoiPage.High = high;
    s().RoiPage.Element = element;
    s().RoiPage.On = true;
    ROIOnCheckClick(s());
  }
  testing::SimRig rig;
};

TEST(RoiPage, SwitchingOnStoresTheEntryAndSendsWindowsForOneToFourOnly) {
  RoiRig r;
  r.switchOn(4, "2000", "2100");
  const RoiEntry& e = r.s().Rois.Entries[4];
  EXPECT_EQ(e.LowChannel, 2000);
  EXPECT_EQ(e.HighChannel, 2100);
  EXPECT_STREQ(e.ElementLabel.data(), "Fe");
  EXPECT_EQ(e.Colour, kBlue);
  EXPECT_EQ(e.Defined, 1);
  EXPECT_EQ(e.Shown, 1);
  EXPECT_EQ(r.s().Rois.SelectedRoi, 4);
  EXPECT_EQ(r.rig.frames(), std::vector<std::string>{"$@R4,2000,2100;"});
  r.rig.analyser().clearFrameLog();
  r.switchOn(0, "10", "20");
  r.switchOn(5, "10", "20");
  r.switchOn(15, "10", "20");
  EXPECT_TRUE(r.rig.frames().empty());
  EXPECT_EQ(r.s().Rois.Entries[15].Defined, 1);
}

TEST(RoiPage, InvalidChannelTextsReportAndKeepWhatWasStoredBefore) {
  RoiRig r;
  r.switchOn(2, "", "20");
  EXPECT_EQ(r.s().Texts.Edit1, "Error ! ROI LowCh");
  EXPECT_EQ(r.s().Rois.Entries[2].Defined, 0);
  EXPECT_EQ(r.s().Rois.Entries[2].LowChannel, 0);

  r.s().Rois.Entries[2].GrossSum = -5;  // a paint would recompute this
  r.switchOn(2, "120", "x1");
  EXPECT_EQ(r.s().Texts.Edit1, "Error ! ROI HighCh");
  EXPECT_EQ(r.s().Rois.Entries[2].LowChannel, 120);  // the low is stored
  EXPECT_EQ(r.s().Rois.Entries[2].Shown, 0);
  EXPECT_EQ(r.s().Rois.Entries[2].GrossSum, -5);  // no repaint
  EXPECT_TRUE(r.rig.frames().empty());
}

TEST(RoiPage, NoSelectionOrTheEmptyItemIsUnknown) {
  RoiRig r;
  r.s().RoiPage.On = true;
  ROIOnCheckClick(r.s());
  EXPECT_EQ(r.s().Texts.Edit1, "Error ! ROI # Unknown");
  ROINoSelectChange(r.s(), RoiPageFields::kEmptyItem);
  r.s().Texts.Edit1.clear();
  ROIOnCheckClick(r.s());
  EXPECT_EQ(r.s().Texts.Edit1, "Error ! ROI # Unknown");
}

TEST(RoiPage, SelectingShowsADefinedEntryAndResetsThePageForAnUndefinedOne) {
  RoiRig r;
  r.switchOn(3, "100", "90", "Mn-Ka", kRed);  // high <= low is accepted
  ROINoSelectChange(r.s(), 7);
  EXPECT_EQ(r.s().RoiPage.Low, "0");
  EXPECT_EQ(r.s().RoiPage.High, "0");
  EXPECT_EQ(r.s().RoiPage.Element, "");
  EXPECT_EQ(r.s().RoiPage.Colour, kBlue);
  EXPECT_FALSE(r.s().RoiPage.On);
  EXPECT_EQ(r.s().Rois.Entries[7].Shown, 0);
  // Entry 7 was undefined: unchecking ran the ON handler for it, not for 3.
  EXPECT_EQ(r.s().Rois.Entries[3].Shown, 1);

  ROINoSelectChange(r.s(), 3);
  EXPECT_EQ(r.s().RoiPage.Low, "100");
  EXPECT_EQ(r.s().RoiPage.High, "90");
  EXPECT_EQ(r.s().RoiPage.Element, "Mn-Ka");
  EXPECT_EQ(r.s().RoiPage.Colour, kRed);
  EXPECT_EQ(r.s().Rois.SelectedRoi, 3);
  EXPECT_EQ(r.s().Rois.Entries[3].GrossSum, 0);
}

TEST(RoiPage, SwitchingOffHidesAndKeepsTheWindow) {
  RoiRig r;
  r.switchOn(6, "5", "9");
  r.s().RoiPage.On = false;
  ROIOnCheckClick(r.s());
  EXPECT_EQ(r.s().Rois.Entries[6].Shown, 0);
  EXPECT_EQ(r.s().Rois.Entries[6].Defined, 1);
  EXPECT_EQ(r.s().Rois.Entries[6].HighChannel, 9);
}

TEST(RoiPage, ALongElementTextIsCutToSevenCharacters) {
  RoiRig r;
  r.s().Rois.Entries[1].LowChannel = 0;
  r.switchOn(0, "1", "2", "Manganese-K");
  EXPECT_STREQ(r.s().Rois.Entries[0].ElementLabel.data(), "Mangane");
  EXPECT_EQ(r.s().Rois.Entries[0].LowChannel, 1);
  EXPECT_EQ(r.s().Rois.Entries[1].LowChannel, 0);  // the neighbour is untouched
}

TEST(RoiPage, TypingChecksAndCursorPickUp) {
  RoiRig r;
  EditROILowChange(r.s(), "12a");
  EXPECT_EQ(r.s().Texts.Edit1, "Error ! ROI LowCh");
  EXPECT_EQ(r.s().RoiPage.Low, "12a");
  r.s().Texts.Edit1.clear();
  EditROILowChange(r.s(), " 12");
  EXPECT_EQ(r.s().Texts.Edit1, "");
  EditROIHighChange(r.s(), "");
  EXPECT_EQ(r.s().Texts.Edit1, "Error ! ROI HighCh");
  r.s().Display.Cursor = 777;
  ROILowChClick(r.s());
  ROIHighChClick(r.s());
  EXPECT_EQ(r.s().RoiPage.Low, "777");
  EXPECT_EQ(r.s().RoiPage.High, "777");
}

}  // namespace
}  // namespace tolvane
