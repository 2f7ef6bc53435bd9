// The d2xx backend through dlopen, over a stand-in D2XX library found by
// name on the library path: listing, the open sequence, a whole
// acquisition and link faults over the same emulated bridge as libftdi1,
// and a library that lacks a function refused before anything is called.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "device/d2xx_backend.h"
#include "device/device_survey.h"
#include "handlers/mca_handlers.h"
#include "tests/hardware/link_checks.h"

namespace tolvane::hw {
namespace {

// The stand-in's steering functions, from the same copy of the library the
// backend loads (the loader hands out one copy per name).
struct StandIn {
  StandIn() {
    library = ::dlopen("libftd2xx.so", RTLD_NOW | RTLD_LOCAL);
    if (!library) return;
    clear = reinterpret_cast<void (*)()>(::dlsym(library, "standin_clear"));
    plug = reinterpret_cast<FtdiChip* (*)(const char*, uint64_t)>(::dlsym(library, "standin_plug"));
    calls = reinterpret_cast<int (*)()>(::dlsym(library, "standin_calls"));
    callLog = reinterpret_cast<size_t (*)(size_t, char*, size_t)>(::dlsym(library, "standin_call_log"));
    clear();
  }
  ~StandIn() {
    if (library) ::dlclose(library);
  }
  std::string log(size_t i) {
    char text[1024];
    callLog(i, text, sizeof text);
    return text;
  }
  void* library = nullptr;
  void (*clear)() = nullptr;
  FtdiChip* (*plug)(const char*, uint64_t) = nullptr;
  int (*calls)() = nullptr;
  size_t (*callLog)(size_t, char*, size_t) = nullptr;
};

class D2xxLink : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!standIn.library) GTEST_SKIP() << "the stand-in D2XX library is not on the library path";
    std::string error;
    api = loadD2xxBackend(error);
    ASSERT_TRUE(api) << error;
  }
  StandIn standIn;
  SteadyClock clock;
  std::unique_ptr<FtdiApi> api;
};

TEST_F(D2xxLink, ListsEveryAttachedAnalyserBySerialAndCapsTheTableAtFive) {
  SerialList serials{};
  uint32_t count = 99;
  ASSERT_EQ(api->listDevices(serials, count), FtOk);
  EXPECT_EQ(count, 0u);
  standIn.plug("VQ5A0001", 1);
  standIn.plug("VQ5A0002", 2);
  ASSERT_EQ(api->listDevices(serials, count), FtOk);
  EXPECT_EQ(count, 2u);
  EXPECT_STREQ(serials[0].data(), "VQ5A0001");
  EXPECT_STREQ(serials[1].data(), "VQ5A0002");
  // More than the table holds: the library writes every serial, into a
  // table the backend sized for them; the caller sees five.
  for (int i = 3; i <= 7; ++i) standIn.plug(("VQ5A000" + std::to_string(i)).c_str(), 1);
  ASSERT_EQ(api->listDevices(serials, count), FtOk);
  EXPECT_EQ(count, 7u);
  EXPECT_STREQ(serials[4].data(), "VQ5A0005");

  const DeviceSurvey survey = surveyDevices(*api);
  ASSERT_EQ(survey.devices.size(), 7u);
  EXPECT_EQ(survey.devices[6].device.serial, "VQ5A0007");
  EXPECT_EQ(survey.devices[6].device.vid, 0x0403);
  EXPECT_EQ(survey.devices[6].device.pid, 0x6014);
  EXPECT_TRUE(survey.devices[6].openable) << survey.devices[6].error;
}

TEST_F(D2xxLink, OpenSequenceIsResetLatencyTimeOutsAndPurge) {
  FtdiChip* chip = standIn.plug("VQ5A0001", 1);
  Session s(*api, clock);
  McaOpenClick(s);
  EXPECT_EQ(s.Texts.Edit2, "1");
  EXPECT_EQ(standIn.log(0), "FT_OpenEx\nFT_ResetDevice\nFT_SetLatencyTimer 6\nFT_SetTimeouts 3000 3000\nFT_Purge 3\n");
  EXPECT_EQ(chip->latencyMillis(), 6);
}

TEST_F(D2xxLink, WholeAcquisitionGivesTheSpectrumOfTheDirectSimulator) {
  constexpr int kTicks = 20;
  FtdiChip* chip = standIn.plug("VQ5A0001", 7);
  const AcquisitionOutcome got = acquire(*api, clock, *chip, kTicks);
  const AcquisitionOutcome want = acquireDirect("VQ5A0001", 7, kTicks);
  ASSERT_TRUE(got.opened);
  EXPECT_EQ(got.frames, want.frames);
  ASSERT_EQ(got.channelCount, 4096);
  EXPECT_EQ(got.counts, want.counts);
  EXPECT_GT(got.maxCount, 0);
  EXPECT_EQ(got.realTime, want.realTime);
  EXPECT_EQ(got.liveTime, want.liveTime);
  EXPECT_FALSE(got.timerRunning);
}

class D2xxFaults : public D2xxLink, public ::testing::WithParamInterface<LinkFault> {};

TEST_P(D2xxFaults, EndAsLinkFailureWithinTheTimeOut) {
  FtdiChip* chip = standIn.plug("VQ5A0001", 1);
  checkFaultEndsAsLinkFailure(*api, clock, *chip, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Faults, D2xxFaults, ::testing::ValuesIn(linkFaults()),
                         [](const auto& info) { return std::string(info.param.name); });

// Loaded first by its full path, the incomplete build is the copy the
// backend's load by name receives.
TEST(D2xxIncompleteLibrary, IsRefusedWithAMessageAndNeverCalled) {
  if (void* loaded = ::dlopen("libftd2xx.so", RTLD_NOW | RTLD_NOLOAD)) {
    ::dlclose(loaded);
    GTEST_SKIP() << "the complete stand-in is already loaded in this process; run this test on its own";
  }
  void* incomplete = ::dlopen(TOLVANE_INCOMPLETE_D2XX, RTLD_NOW | RTLD_LOCAL);
  ASSERT_TRUE(incomplete) << ::dlerror();
  auto calls = reinterpret_cast<int (*)()>(::dlsym(incomplete, "standin_calls"));
  std::string error;
  EXPECT_FALSE(loadD2xxBackend(error));
  EXPECT_EQ(error, "D2XX library libftd2xx.so lacks the function FT_Purge; it is not used");
  EXPECT_EQ(calls(), 0);
  ::dlclose(incomplete);
}

}  // namespace
}  // namespace tolvane::hw
