#pragma once
// The USB bridge as seen with simulated analysers attached: the link calls
// carry bytes to and from each SimulatedAnalyser exactly as a real bridge
// would, with the read time-out honoured on the shared clock. Failures of
// the listing, open, reset and latency calls can be switched on for tests.
#include <memory>
#include <string>
#include <vector>

#include "device/ftdi_api.h"
#include "device/sim/simulated_analyser.h"

namespace tolvane {

class Clock;

struct SimBridgeFaults {
  bool failList = false;
  bool failOpen = false;
  bool failReset = false;
  bool failLatency = false;
  // The first queue poll after each of the next `failPollTimes` writes of
  // this exact frame fails, as a bridge that drops off the bus for a moment.
  std::string failPollAfterFrame;
  int failPollTimes = 0;
};

class SimFtdi final : public FtdiApi {
 public:
  explicit SimFtdi(Clock& clock) : clock_(clock) {}

  // Attaches one more analyser; the first attached is listed first.
  SimulatedAnalyser& attach(SimulatedAnalyserConfig config = {});
  SimulatedAnalyser& analyser(size_t i) { return *analysers_.at(i)->analyser; }
  size_t attachedCount() const { return analysers_.size(); }
  SimBridgeFaults& faults() { return faults_; }

  std::string backendName() const override { return "simulated analyser"; }
  bool isSimulated() const override { return true; }
  FtStatus listDevices(SerialList& serials, uint32_t& count) override;
  FtStatus openBySerial(const char* serial, FtHandle& handle) override;
  FtStatus resetDevice(FtHandle handle) override;
  FtStatus setLatencyTimer(FtHandle handle, uint8_t milliseconds) override;
  FtStatus setTimeouts(FtHandle handle, uint32_t readMs, uint32_t writeMs) override;
  FtStatus purge(FtHandle handle, uint32_t mask) override;
  FtStatus write(FtHandle handle, const void* data, uint32_t size, uint32_t& written) override;
  FtStatus getQueueStatus(FtHandle handle, uint32_t& waiting) override;
  FtStatus read(FtHandle handle, void* data, uint32_t size, uint32_t& received) override;
  void close(FtHandle handle) override;

 private:
  struct Port {
    std::unique_ptr<SimulatedAnalyser> analyser;
    bool open = false;
    uint32_t readTimeoutMs = 3000;
    uint8_t latencyMs = 16;
  };
  // The port behind a handle, or null when the handle is not an open port
  // of this bridge.
  Port* portOf(FtHandle handle);

  Clock& clock_;
  std::vector<std::unique_ptr<Port>> analysers_;
  SimBridgeFaults faults_;
  bool failNextPoll_ = false;
};

}  // namespace tolvane
