// The libftdi1 backend on the real libftdi1 and libusb, over FT232H bridges
// emulated below libusb: listing, the open sequence as the chip sees it, a
// whole acquisition, link faults and the set-up problems a user meets.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>

#include "device/device_survey.h"
#include "device/libftdi_backend.h"
#include "device/link_advice.h"
#include "device/mca_commands.h"
#include "handlers/mca_handlers.h"
#include "tests/hardware/emulated_usb_bus.h"
#include "tests/hardware/link_checks.h"

namespace tolvane::hw {
namespace {

std::set<std::string> listed(const SerialList& serials, size_t n) {
  std::set<std::string> out;
  for (size_t i = 0; i < n; ++i) out.insert(serials[i].data());
  return out;
}

class LibftdiLink : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    if (!EmulatedUsbBus::available(why)) GTEST_SKIP() << why;
  }
  std::unique_ptr<FtdiApi> backend() {
    std::string error;
    auto api = makeLibftdiBackend(clock, error);
    EXPECT_TRUE(api) << error;
    return api;
  }
  SteadyClock clock;
  EmulatedUsbBus bus;
};

TEST_F(LibftdiLink, ListsEveryAttachedAnalyserBySerialAndCapsTheTableAtFive) {
  auto api = backend();
  SerialList serials{};
  uint32_t count = 99;
  ASSERT_EQ(api->listDevices(serials, count), FtOk);
  EXPECT_EQ(count, 0u);

  bus.plug("VQ5A0001");
  ASSERT_EQ(api->listDevices(serials, count), FtOk);
  EXPECT_EQ(count, 1u);
  EXPECT_STREQ(serials[0].data(), "VQ5A0001");

  bus.plug("VQ5A0002");
  ASSERT_EQ(api->listDevices(serials, count), FtOk);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(listed(serials, 2), (std::set<std::string>{"VQ5A0001", "VQ5A0002"}));

  for (int i = 3; i <= 7; ++i) bus.plug("VQ5A000" + std::to_string(i));
  ASSERT_EQ(api->listDevices(serials, count), FtOk);
  EXPECT_EQ(count, 7u);  // all are counted, five are listed, in the library's order
  const std::set<std::string> five = listed(serials, 5);
  EXPECT_EQ(five.size(), 5u);
  for (const std::string& serial : five) EXPECT_EQ(serial.rfind("VQ5A000", 0), 0u) << serial;

  std::vector<DeviceDescription> devices;
  ASSERT_EQ(api->describeDevices(devices), FtOk);
  ASSERT_EQ(devices.size(), 7u);
  std::set<std::string> all;
  for (const DeviceDescription& d : devices) {
    all.insert(d.serial);
    EXPECT_EQ(d.vid, 0x0403);
    EXPECT_EQ(d.pid, 0x6014);
    EXPECT_EQ(d.description, "USB MCA");
  }
  EXPECT_EQ(all.size(), 7u);
  EXPECT_EQ(all.count("VQ5A0007"), 1u);
}

// A session on the libftdi1 backend over the emulated bus.
struct LinkSession {
  explicit LinkSession(FtdiApi& api, Clock& clock) : session(api, clock) {
    session.LocalTime = [] { return LocalDateTime{2026, 12, 7, 9, 30, 15}; };
  }
  Session session;
};

int64_t millisSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(LibftdiLink, OpenSequenceReachesTheChipAsResetLatencyAndPurgeOfBothDirections) {
  bus.plug("VQ5A0001");
  auto api = backend();
  LinkSession link(*api, clock);
  McaOpenClick(link.session);
  EXPECT_EQ(link.session.Texts.Edit2, "1");
  EXPECT_TRUE(link.session.RunButtonsEnabled);

  // Opening itself resets the chip and sets a baud rate; the open sequence
  // then resets again, sets the latency and purges. The time-outs are the
  // host's own and never reach the chip (the silent-bridge test shows them).
  const auto log = bus.chip(0).vendorLog();
  std::vector<std::string> seen;
  for (const ControlRequest& r : log) {
    EXPECT_EQ(r.requestType, 0x40);
    if (r.request != kSioReset && r.request != kSioSetLatency) continue;
    EXPECT_EQ(r.index, 1) << "interface A";
    seen.push_back(std::to_string(r.request) + ":" + std::to_string(r.value));
  }
  ASSERT_GE(seen.size(), 4u);
  const std::vector<std::string> tail(seen.end() - 4, seen.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"0:0", "9:6", "0:1", "0:2"}));
  EXPECT_EQ(bus.chip(0).latencyMillis(), 6);
}

// The same acquisition through the real stack and straight through the
// simulator: the analyser sees the same frames at the same moments of its
// own clock, so the spectra must agree byte for byte.
TEST_F(LibftdiLink, WholeAcquisitionGivesTheSpectrumOfTheDirectSimulator) {
  constexpr int kTicks = 20;
  FtdiChip& chip = bus.plug("VQ5A0001", 7);
  auto api = backend();
  const AcquisitionOutcome got = acquire(*api, clock, chip, kTicks);
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

class LibftdiFaults : public LibftdiLink, public ::testing::WithParamInterface<LinkFault> {};

TEST_P(LibftdiFaults, EndAsLinkFailureWithinTheTimeOut) {
  FtdiChip& chip = bus.plug("VQ5A0001");
  auto api = backend();
  checkFaultEndsAsLinkFailure(*api, clock, chip, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Faults, LibftdiFaults, ::testing::ValuesIn(linkFaults()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LibftdiLink, UnpluggedAnalyserFailsAtOnceAndSaysDisconnected) {
  bus.plug("VQ5A0001");
  auto api = backend();
  LinkSession link(*api, clock);
  Session& s = link.session;
  McaOpenClick(s);
  McaStartClick(s);
  ASSERT_TRUE(s.Timer1.Enabled);
  bus.unplug(0);
  const auto start = std::chrono::steady_clock::now();
  Timer1Timer(s);
  EXPECT_LT(millisSince(start), 1000) << "no time-out is waited for a device that is gone";
  EXPECT_EQ(api->lastProblem().problem, LinkProblem::Disconnected);
  EXPECT_EQ(s.Texts.Edit1, "Analyser disconnected");
  EXPECT_NE(ReadStatus(s.Transport, s.Acquisition), LinkOutcome::Done);
  SerialList serials{};
  uint32_t count = 9;
  EXPECT_EQ(api->listDevices(serials, count), FtOk);
  EXPECT_EQ(count, 0u);
}

// A write the bus refuses is a failure with nothing written, never a
// success: here the analyser was unplugged after the open.
TEST_F(LibftdiLink, AWriteTheBusRefusesFailsAndWritesNothing) {
  bus.plug("VQ5A0001");
  auto api = backend();
  FtHandle handle{};
  ASSERT_EQ(api->openBySerial("VQ5A0001", handle), FtOk);
  const char frame[] = "$R0;";
  uint32_t written = 99;
  ASSERT_EQ(api->write(handle, frame, 4, written), FtOk);
  EXPECT_EQ(written, 4u);
  bus.unplug(0);
  written = 99;
  EXPECT_NE(api->write(handle, frame, 4, written), FtOk);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(api->lastProblem().problem, LinkProblem::Disconnected);
  api->close(handle);
}

TEST_F(LibftdiLink, InterfaceHeldByAKernelDriverIsNamedWithTheFix) {
  bus.plug("VQ5A0001");
  bus.holdByKernelDriver(0);
  auto api = backend();
  LinkSession link(*api, clock);
  McaOpenClick(link.session);
  EXPECT_EQ(link.session.Texts.Edit2, "Error");
  EXPECT_FALSE(link.session.RunButtonsEnabled);
  EXPECT_EQ(link.session.Texts.Edit1, "Analyser busy: close other users / rmmod ftdi_sio");
  const LinkDiagnosis why = api->lastProblem();
  EXPECT_EQ(why.problem, LinkProblem::InterfaceBusy);
  EXPECT_EQ(why.node, "/dev/bus/usb/001/002");
  const std::string advice = linkAdvice(why);
  EXPECT_NE(advice.find("/dev/bus/usb/001/002"), std::string::npos) << advice;
  EXPECT_NE(advice.find("rmmod ftdi_sio"), std::string::npos) << advice;
}

// Runs `body` in a child process that cannot open the device node: as an
// ordinary user when the tests run as root (root opens any node). Returns
// what the child wrote.
std::string withoutNodeAccess(EmulatedUsbBus& bus, const std::function<std::string()>& body) {
  // An ordinary user must be able to read the emulated tree and to bind the
  // emulated uevent socket in it.
  ::chmod(bus.rootDir().c_str(), 01777);
  // The emulation connects to the node's request socket even when the open
  // itself was refused; that must not fail (it would end the process).
  ::chmod((bus.rootDir() + "/ioctl" + bus.devNode(0)).c_str(), 0777);
  ::chmod(bus.nodeFile(0).c_str(), 0600);
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return "pipe failed";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeFds[0]);
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
    if (::geteuid() != 0) ::chmod(bus.nodeFile(0).c_str(), 0);
    const std::string out = body();
    const ssize_t ignored = ::write(pipeFds[1], out.data(), out.size());
    (void)ignored;
    ::_exit(0);
  }
  ::close(pipeFds[1]);
  std::string out;
  char buffer[512];
  for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<size_t>(n));
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return out;
}

TEST_F(LibftdiLink, PermissionDeniedIsNamedWithTheFix) {
  bus.plug("VQ5A0001");
  const std::string out = withoutNodeAccess(bus, [this] {
    auto api = backend();
    LinkSession link(*api, clock);
    McaOpenClick(link.session);
    const DeviceSurvey survey = surveyDevices(*api);
    std::string report = link.session.Texts.Edit2 + "\n" + link.session.Texts.Edit1 + "\n";
    for (const SurveyedDevice& d : survey.devices) report += (d.openable ? "openable: " : "refused: ") + d.error + "\n";
    return report;
  });
  EXPECT_NE(out.find("Error\nUSB access denied: join plugdev, add udev rule\n"), std::string::npos) << out;
  EXPECT_NE(out.find("refused: permission denied on /dev/bus/usb/001/002"), std::string::npos) << out;
  EXPECT_NE(out.find("plugdev"), std::string::npos) << out;
  EXPECT_NE(out.find("60-tolvane.rules"), std::string::npos) << out;
}
std::string runCli(const std::string& arguments, int& exitCode) {
  std::string out;
  FILE* pipe = ::popen((std::string(TOLVANE_CLI) + " " + arguments + " 2>&1").c_str(), "r");
  char buffer[512];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  const int status = ::pclose(pipe);
  exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

TEST_F(LibftdiLink, DevicesCommandListsEachAnalyserAndWhetherItCanBeOpened) {
  bus.plug("VQ5A0001");
  bus.plug("VQ5A0002");
  bus.holdByKernelDriver(1);
  int exitCode = -1;
  const std::string json = runCli("devices --device=libftdi --json", exitCode);
  EXPECT_EQ(exitCode, 0) << json;
  EXPECT_NE(json.find("{\"count\": 2, \"devices\": ["), std::string::npos) << json;
  EXPECT_NE(json.find("{\"backend\": \"libftdi1\", \"vid\": \"0403\", \"pid\": \"6014\", \"serial\": \"VQ5A0001\", "
                      "\"description\": \"USB MCA\", \"openable\": true, \"error\": null}"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"serial\": \"VQ5A0002\", \"description\": \"USB MCA\", \"openable\": false, \"error\": "
                      "\"/dev/bus/usb/001/003 is held by a kernel driver or another program"),
            std::string::npos)
      << json;

  const std::string text = runCli("devices --device=libftdi", exitCode);
  EXPECT_EQ(exitCode, 0);
  EXPECT_NE(text.find("2 analyser(s) via libftdi1"), std::string::npos) << text;
  EXPECT_NE(text.find("VQ5A0001  0403:6014  USB MCA  openable"), std::string::npos) << text;
  EXPECT_NE(text.find("rmmod ftdi_sio"), std::string::npos) << text;
}

}  // namespace
}  // namespace tolvane::hw
