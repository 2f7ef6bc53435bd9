// Finding and opening the analyser through "OpenMCA" and the start buttons.
#include <gtest/gtest.h>

#include "device/mca_commands.h"
#include "handlers/mca_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

TEST(OpenDevice, OneAnalyserShowsOneAndEnablesTheRunButtons) {
  testing::SimRig rig;
  rig.open();
  const Session& s = *rig.session;
  EXPECT_EQ(s.Texts.Edit2, "1");
  EXPECT_TRUE(s.RunButtonsEnabled);
  EXPECT_EQ(s.Acquisition.DeviceOpen, 1);
  EXPECT_EQ(s.Acquisition.DeviceCount, 1);
}

TEST(OpenDevice, NoAnalyserShowsErrorAndKeepsTheButtonsDisabled) {
  testing::SimRig rig(0);
  rig.open();
  EXPECT_EQ(rig.session->Texts.Edit2, "Error");
  EXPECT_FALSE(rig.session->RunButtonsEnabled);
  EXPECT_EQ(rig.session->Acquisition.DeviceOpen, 0);
}

TEST(OpenDevice, TwoAnalysersShowTwoAndOpenTheFirstListed) {
  testing::SimRig rig(2);
  rig.open();
  Session& s = *rig.session;
  EXPECT_EQ(s.Texts.Edit2, "2");
  ASSERT_EQ(SetCursor(s.Transport, 33), LinkOutcome::Done);
  EXPECT_EQ(rig.analyser(0).frameLog().back(), "$@C0033;");
  EXPECT_TRUE(rig.analyser(1).frameLog().empty());
}

TEST(OpenDevice, MoreAnalysersThanTheListHoldsAreCountedWithoutOverrun) {
  testing::SimRig rig(7);
  rig.open();
  EXPECT_EQ(rig.session->Acquisition.DeviceCount, 7);
  EXPECT_EQ(rig.session->Texts.Edit2, "7");
  EXPECT_STREQ(rig.session->Link.Serials[4].data(), (rig.analyser(4).serial()).c_str());
}

TEST(OpenDevice, ASecondPressAfterSuccessChangesNothingOnScreen) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  s.Texts.Edit2 = "1";
  const FtHandle first = s.Link.Handles[0];
  rig.open();  // the bridge refuses a second open of the same analyser
  EXPECT_EQ(s.Texts.Edit2, "1");
  EXPECT_EQ(s.Link.Handles[0], first);  // the first handle stays in use
  EXPECT_EQ(SetCursor(s.Transport, 12), LinkOutcome::Done);
}

TEST(OpenDevice, AFailedResetKeepsTheCountAndASecondPressIsSilent) {
  testing::SimRig rig;
  rig.bridge.faults().failReset = true;
  rig.open();
  Session& s = *rig.session;
  EXPECT_EQ(s.Texts.Edit2, "Error");
  EXPECT_EQ(s.Acquisition.DeviceCount, 1);
  EXPECT_EQ(s.Acquisition.DeviceOpen, 0);
  EXPECT_NE(s.Link.Handles[0], nullptr);  // opened at step 4 and kept

  rig.bridge.faults().failReset = false;
  s.Texts.Edit2 = "unchanged";
  rig.open();
  EXPECT_EQ(s.Texts.Edit2, "unchanged");
  EXPECT_FALSE(s.RunButtonsEnabled);
}

TEST(OpenDevice, AFailedListingKeepsTheOldCount) {
  testing::SimRig rig;
  rig.bridge.faults().failList = true;
  rig.open();
  EXPECT_EQ(rig.session->Texts.Edit2, "Error");
  EXPECT_EQ(rig.session->Acquisition.DeviceCount, 0);
}

TEST(OpenDevice, FailedLatencyOrOpenLeavesTheLinkClosed) {
  for (bool latency : {true, false}) {
    testing::SimRig rig;
    (latency ? rig.bridge.faults().failLatency : rig.bridge.faults().failOpen) = true;
    rig.open();
    EXPECT_EQ(rig.session->Texts.Edit2, "Error");
    EXPECT_EQ(rig.session->Acquisition.DeviceOpen, 0);
    EXPECT_EQ(rig.session->Acquisition.DeviceCount, 1);
  }
}

TEST(OpenDevice, StartOpensTheAnalyserItselfAndReportsTheCountInTheStatusField) {
  testing::SimRig rig;
  McaStartClick(*rig.session);
  EXPECT_EQ(rig.session->Texts.Edit1, "1");
  EXPECT_EQ(rig.session->Acquisition.Running, 1);
  EXPECT_EQ(rig.analyser().frameLog().back(), "$G;");
}

TEST(OpenDevice, CommandsBeforeAnyOpenReachNoAnalyser) {
  testing::SimRig rig;
  EXPECT_NE(SetOutputMode((*rig.session).Transport, 'S'), LinkOutcome::Done);
  EXPECT_TRUE(rig.analyser().frameLog().empty());
  EXPECT_EQ(rig.analyser().outputMode(), 'M');
}

}  // namespace
}  // namespace tolvane
