#include "device/backend_factory.h"

#include <gtest/gtest.h>

#include "device/clock.h"
#include "device/d2xx_backend.h"

namespace tolvane {
namespace {

TEST(BackendFactory, NamesMapToKindsAndUnknownNamesAreRefused) {
  EXPECT_EQ(parseBackendKind("auto"), BackendKind::Auto);
  EXPECT_EQ(parseBackendKind("sim"), BackendKind::Sim);
  EXPECT_EQ(parseBackendKind("libftdi"), BackendKind::Libftdi);
  EXPECT_EQ(parseBackendKind("d2xx"), BackendKind::D2xx);
  EXPECT_FALSE(parseBackendKind("SIM").has_value());
  EXPECT_FALSE(parseBackendKind("").has_value());
}

TEST(BackendFactory, TheSimulatorComesOnlyWhenAskedFor) {
  ManualClock clock;
  std::string error;
  auto sim = makeBackend(BackendKind::Sim, clock, error);
  ASSERT_NE(sim, nullptr);
  EXPECT_TRUE(sim->isSimulated());
  SerialList serials{};
  uint32_t count = 0;
  ASSERT_EQ(sim->listDevices(serials, count), FtOk);
  EXPECT_EQ(count, 1u);

  // Auto finds a hardware backend or says why there is none; never the simulator.
  auto automatic = makeBackend(BackendKind::Auto, clock, error);
  if (automatic) {
    EXPECT_FALSE(automatic->isSimulated());
  } else {
    EXPECT_FALSE(error.empty());
  }
}

TEST(BackendFactory, AMissingD2xxLibraryIsReportedNotFatal) {
  std::string error;
  auto d2xx = loadD2xxBackend(error);
  if (d2xx) GTEST_SKIP() << "the D2XX library is installed on this machine";
  EXPECT_EQ(error, "D2XX library not available");
}

}  // namespace
}  // namespace tolvane
