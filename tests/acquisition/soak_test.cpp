// Long runs on the simulator's clock: resident memory stays flat and the
// counters stay consistent. The default sizes run in CI; the full ones (10
// simulated hours of MCA ticks, 10,000 mapping passes) run as the "soak"
// test: TOLVANE_SOAK_TICKS and TOLVANE_SOAK_PASSES set the sizes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "handlers/scan_setup_handlers.h"
#include "device/mca_commands.h"
#include "handlers/mapping_handlers.h"
#include "handlers/mca_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

long residentKiB() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Under AddressSanitizer freed memory is held in quarantine, so resident
// memory says nothing about leaks there, and every tick is slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

long fromEnvironment(const char* name, long fallback) {
  const char* text = std::getenv(name);
  return text ? std::atol(text) : fallback;
}

TEST(Soak, AcquisitionTicksKeepMemoryFlatAndCountersConsistent) {
  const long ticks = fromEnvironment("TOLVANE_SOAK_TICKS", kSanitized ? 3'000 : 20'000);
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  s.Mca.PresetTime = 2'000'000'000;
  ASSERT_EQ(SetPresetTime(s.Transport, s.Acquisition, s.Mca.PresetTime),
            LinkOutcome::Done);  // the analyser's own preset too
  McaStartClick(s);
  const long warmUp = std::min(ticks / 10, 2000L);
  long before = 0;
  float previousTotal = 0;
  for (long i = 1; i <= ticks; ++i) {
    rig.tick();
    if (i == warmUp) before = residentKiB();
    ASSERT_GE(s.Acquisition.Total, previousTotal) << i;
    previousTotal = s.Acquisition.Total;
  }
  const long after = residentKiB();
  std::printf("acquisition: %ld ticks, resident %ld KiB after warm-up, %ld KiB at the end\n", ticks, before, after);
  EXPECT_EQ(s.Acquisition.RealTime, ticks);  // 100 ms per tick, in tenths
  EXPECT_LE(s.Acquisition.LiveTime, s.Acquisition.RealTime);
  EXPECT_GT(s.Acquisition.LiveTime, s.Acquisition.RealTime * 99 / 100);
  if (!kSanitized) {
    EXPECT_LT(after - before, 2048);
  }
}

TEST(Soak, MappingPassesKeepMemoryFlatAndCountEveryPass) {
  const long passes = fromEnvironment("TOLVANE_SOAK_PASSES", 1'000);
  testing::SimRig rig;
  rig.open();
  Session& s = *rig.session;
  Button7Click(s, [](ScanSetupFields& f) {
    f.ZORVPreSetTime = "1";  // one pass per 100 ms tick
    f.DispRefTimer = "100";
    f.MemorySize = 2048;
    return true;
  });
  ZorvStartClick(s);
  long before = 0;
  for (long i = 1; s.Acquisition.ScanCount < passes && i <= passes + 10; ++i) {
    rig.tick();
    if (i == std::min(passes / 10, 200L)) before = residentKiB();
  }
  const long after = residentKiB();
  std::printf("mapping: %d passes, resident %ld KiB after warm-up, %ld KiB at the end\n", s.Acquisition.ScanCount,
              before, after);
  EXPECT_EQ(s.Acquisition.ScanCount, passes);
  EXPECT_EQ(rig.analyser().passesCompleted(), passes);
  if (!kSanitized) {
    EXPECT_LT(after - before, 2048);
  }
}

}  // namespace
}  // namespace tolvane
