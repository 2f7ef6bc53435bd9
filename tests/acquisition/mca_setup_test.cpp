// The MCA setup dialog's logic and "SetUp" against the simulated analyser.
#include "handlers/mca_setup_handlers.h"

#include <gtest/gtest.h>

#include "acquisition/sca_modes.h"
#include "handlers/mca_handlers.h"
#include "handlers/memory_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

// A dialog that applies `edit` to the fields and ends with `ok`.
std::function<bool(McaSetupFields&)> dialog(bool ok, std::function<void(McaSetupFields&)> edit = {}) {
  return [ok, edit](McaSetupFields& f) {
    if (edit) edit(f);
    return ok;
  };
}

TEST(McaSetup, FieldsShowTheSetupAndAZeroPresetOpensAsTenSeconds) {
  testing::SimRig rig;
  Session& s = *rig.session;
  s.Mca.PresetTime = 0;
  const McaSetupFields f = LoadSetupFields(s);
  EXPECT_EQ(s.Mca.PresetTime, 100);
  EXPECT_EQ(f.PresetRT, "     10.0");
  EXPECT_EQ(f.DeadTime, "      1.8");
  EXPECT_EQ(f.ChannelCount, 4096);
  s.Mca.ChannelCount = 300;  // not a size the dialog offers
  EXPECT_EQ(LoadSetupFields(s).ChannelCount, 4096);
}

TEST(McaSetup, OkSendsPresetAndSizeAndTheLoopThenReadsFourBlocks) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  rig.analyser().clearFrameLog();
  Button10Click(s, dialog(true, [](McaSetupFields& f) {
                  f.ChannelCount = 512;
                  f.PresetRT = "2.5";
                  f.SpcLabel1 = "steel sample";
                  f.SpcLabel2 = "S-17";
                }));
  EXPECT_EQ(rig.frames(), (std::vector<std::string>{"$P25;", "$M4;"}));
  EXPECT_EQ(s.Texts.Edit1, "$P25;");
  EXPECT_EQ(s.Mca.PresetTime, 25);
  EXPECT_EQ(s.Acquisition.PresetTime, 25);
  EXPECT_EQ(s.Acquisition.ChannelCount, 512);
  EXPECT_EQ(s.AcquisitionTemplate.channelCount(), 512);
  EXPECT_EQ(s.AcquisitionTemplate.presetTime(), 25);
  EXPECT_EQ(s.Working.Header.comment(), "steel sample");
  EXPECT_EQ(s.Working.Header.sampleId(), "S-17");

  McaStartClick(s);
  rig.analyser().clearFrameLog();
  rig.tick();
  EXPECT_EQ(rig.frames(), (std::vector<std::string>{"$R1;", "$R2;", "$R3;", "$R4;", "$R0;"}));
}

// Counting for 3 s, stopping, lowering the preset to 1 s and starting again:
// the run ends at once, with the counts it holds and the time they took,
// also when a memory was shown in between (which sets the times shown) and
// when going back to the MCA slot afterwards. The same memory size sent
// again keeps the counts; a new size clears the counts and the time
// together.
TEST(McaSetup, APresetLoweredBelowTheCountedTimeKeepsTheCountsAndTheirRealTime) {
  testing::SimRig rig;  // counts at the simulator's input rate
  rig.open();
  Session& s = *rig.session;
  McaStartClick(s);
  for (int i = 0; i < 30; ++i) rig.tick();
  McaStopClick(s);
  const int32_t counted = s.Acquisition.RealTime;
  ASSERT_GE(counted, 30);
  int64_t total = 0;
  for (int c = 0; c < 4096; ++c) total += s.Working.Counts[static_cast<size_t>(c)];
  ASSERT_GT(total, 0);

  Button10Click(s, dialog(true, [](McaSetupFields& f) { f.PresetRT = "1"; }));
  EXPECT_EQ(rig.frames().back(), "$M32;");  // the size it has
  MemSpecClick(s, 1);                         // an empty memory: its times are shown
  EXPECT_EQ(s.Acquisition.RealTime, 0);
  McaMemClick(s);
  EXPECT_EQ(s.Acquisition.RealTime, counted);
  MemSpecClick(s, 1);
  McaStartClick(s);
  rig.tick();
  EXPECT_EQ(s.Acquisition.Running, 0);
  EXPECT_EQ(s.Acquisition.RealTime, counted);  // not the 1.0 s preset
  EXPECT_LE(s.Acquisition.LiveTime, s.Acquisition.RealTime);
  int64_t kept = 0;
  for (int c = 0; c < 4096; ++c) kept += s.Working.Counts[static_cast<size_t>(c)];
  EXPECT_EQ(kept, total);
  McaMemClick(s);
  EXPECT_EQ(s.Acquisition.RealTime, counted);

  // Lowered during a run: the run ends at the next tick with its own time.
  Button10Click(s, dialog(true, [](McaSetupFields& f) { f.PresetRT = "100"; }));
  McaStartClick(s);
  for (int i = 0; i < 10; ++i) rig.tick();
  ASSERT_EQ(s.Acquisition.Running, 1);
  Button10Click(s, dialog(true, [](McaSetupFields& f) { f.PresetRT = "1"; }));
  rig.tick();
  EXPECT_EQ(s.Acquisition.Running, 0);
  EXPECT_GT(s.Acquisition.RealTime, counted);
  EXPECT_LE(s.Acquisition.LiveTime, s.Acquisition.RealTime);

  // A new size: nothing counted, no time.
  Button10Click(s, dialog(true, [](McaSetupFields& f) {
                  f.PresetRT = "1";
                  f.ChannelCount = 1024;
                }));
  EXPECT_EQ(rig.analyser().realTimeTicks(), 0);
  EXPECT_EQ(rig.analyser().count(100), 0u);
  McaStartClick(s);
  for (int i = 0; i < 11; ++i) rig.tick();
  EXPECT_EQ(s.Acquisition.Running, 0);
  EXPECT_EQ(s.Acquisition.RealTime, 10);  // ended at the preset, shown as the preset
}

TEST(McaSetup, CancelStoresTheFieldsButSendsNothing) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  rig.analyser().clearFrameLog();
  Button10Click(s, dialog(false, [](McaSetupFields& f) {
                  f.PresetRT = "12.3";
                  f.ChannelCount = 1024;
                }));
  EXPECT_TRUE(rig.frames().empty());
  EXPECT_EQ(s.Mca.PresetTime, 123);
  EXPECT_EQ(s.Acquisition.PresetTime, 10000);
  EXPECT_EQ(s.Acquisition.ChannelCount, 4096);
  EXPECT_EQ(LoadSetupFields(s).PresetRT, "     12.3");  // shown when opened again
}

TEST(McaSetup, PresetTruncatesInSinglePrecisionAndBadNumbersKeepTheOldValues) {
  testing::SimRig rig;
  Session& s = *rig.session;
  const auto store = [&](const char* preset, const char* dead) {
    McaSetupFields f = LoadSetupFields(s);
    f.PresetRT = preset;
    f.DeadTime = dead;
    return StoreSetupFields(s, f);
  };
  EXPECT_TRUE(store("1000.0", "2.0"));
  EXPECT_EQ(s.Mca.PresetTime, 10000);
  EXPECT_EQ(s.Mca.DeadTimePerEvent, 2.0f);
  EXPECT_TRUE(store(" 0.05", "1.8"));
  EXPECT_EQ(s.Mca.PresetTime, 0);
  EXPECT_FALSE(store("abc", "1.8"));  // opening the dialog first raised the 0 preset to 100
  EXPECT_EQ(s.Mca.PresetTime, 100);
  EXPECT_EQ(s.Texts.Edit1, "Error ! Preset Time");
  EXPECT_FALSE(store("5", "1,8"));
  EXPECT_EQ(s.Mca.PresetTime, 50);
  EXPECT_EQ(s.Mca.DeadTimePerEvent, 1.8f);
  EXPECT_EQ(s.Texts.Edit1, "Error ! Dead Time");
}

TEST(McaSetup, ARefusedPresetStaysVisibleAfterOk) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  rig.analyser().clearFrameLog();
  Button10Click(s, dialog(true, [](McaSetupFields& f) { f.PresetRT = "30 s"; }));
  EXPECT_EQ(rig.frames().front(), "$P10000;");      // the old preset goes out ...
  EXPECT_EQ(s.Texts.Edit1, "Error ! Preset Time");  // ... and the refusal shows
}

TEST(McaSetup, TextsAreCutTo31CharactersAnd256ChannelsSendNoSizeFrame) {
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  rig.analyser().clearFrameLog();
  Button10Click(s, dialog(true, [](McaSetupFields& f) {
                  f.ChannelCount = 256;
                  f.SpcLabel1 = std::string(40, 'c');
                }));
  EXPECT_EQ(rig.frames(), std::vector<std::string>{"$P10000;"});
  EXPECT_EQ(s.Acquisition.ChannelCount, 256);  // applied locally all the same
  EXPECT_EQ(s.Working.Header.comment(), std::string(31, 'c'));
}

TEST(McaSetup, WithTheAnalyserClosedOnlyLocalValuesChange) {
  testing::SimRig rig;
  Session& s = *rig.session;
  Button10Click(s, dialog(true, [](McaSetupFields& f) {
                  f.ChannelCount = 2048;
                  f.PresetRT = "60";
                }));
  EXPECT_TRUE(rig.frames().empty());
  EXPECT_EQ(s.Acquisition.ChannelCount, 2048);
  EXPECT_EQ(s.Acquisition.PresetTime, 10000);  // the shown preset stays
  EXPECT_EQ(s.AcquisitionTemplate.presetTime(), 600);
}

TEST(ScaModes, RadioButtonsSendTheOutputModeFrames) {
  testing::SimRig rig;
  rig.open();
  rig.analyser().clearFrameLog();
  SCAGATEClick(*rig.session);
  SCAFASTClick(*rig.session);
  MCAClick(*rig.session);
  EXPECT_EQ(rig.frames(), (std::vector<std::string>{"$DG;", "$DS;", "$DM;"}));
  EXPECT_EQ(rig.analyser().outputMode(), 'M');
}

}  // namespace
}  // namespace tolvane
