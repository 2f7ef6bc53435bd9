#pragma once
// A complete simulated analyser: it takes the bytes of command frames and
// answers them byte for byte as the hardware does ("!" for an accepted
// command, "?" for a refused or unknown one, the 310-byte status block,
// 512-byte spectrum blocks). It counts Poisson events from a physical
// spectrum with non-paralysable dead time, keeps its real-time counter in
// 10 ms ticks from the clock it is given, applies memory size, preset, ROI
// windows and output modes, keeps its own view that the view commands
// change, renders its 256-point preview, and runs mapping passes into two
// banks. Seeded, so a run is repeatable; faults can be injected for tests.
#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "device/sim/phantom.h"
#include "device/sim/spectrum_model.h"
#include "display/view_window.h"

namespace tolvane {

class Clock;

enum class SimFaultKind {
  NoReply,             // the frame is lost: not executed, nothing comes back
  Refuse,              // not executed, answered with the refusal byte
  Garbage,             // not executed, answered with one stray byte
  ShortReply,          // executed, only the first half of the reply comes back
  ExtraBytes,          // executed, the reply is followed by trailing bytes
  SlowReply,           // executed, the reply comes after a delay
  Disconnect,          // the analyser is unplugged: every later link call fails
  StrayThenLateReply,  // executed, one stray byte at once, the reply after a delay
};

const char* simFaultName(SimFaultKind kind);

struct SimFault {
  SimFaultKind kind = SimFaultKind::NoReply;
  std::string framePrefix;  // frames it applies to ("$R0;", "$R", ...); empty = all
  int skip = 0;             // matching frames let through before it applies
  int times = -1;           // matching frames it applies to; -1 = all later ones
  int64_t delayMicros = 0;  // for SlowReply and StrayThenLateReply
  int extraBytes = 7;       // for ExtraBytes
};

struct SimulatedAnalyserConfig {
  uint64_t seed = 1;
  double inputRateCps = 5000.0;  // true event rate at the detector from the bare source
  double deadTimeMicros = 1.8;   // per recorded event, non-paralysable
  std::string serial = "VQ5A0001";
  SpectrumModelConfig model;
  // A sample to map: each pass of a scan counts the spectrum of its pixel.
  std::optional<Phantom> phantom;
};

class SimulatedAnalyser {
 public:
  static constexpr uint8_t kAcknowledge = '!';
  static constexpr uint8_t kRefusal = '?';
  static constexpr uint8_t kGarbage = 0xA5;
  static constexpr int kExtraBytes = 7;
  static constexpr int kBankCapacity = 4096;
  static constexpr int kViewWidth = 512;  // the view rules are those of a 512-column plot
  static constexpr size_t kFrameLogLength = 4096;

  SimulatedAnalyser(Clock& clock, SimulatedAnalyserConfig config = {});

  // Link side.
  void receive(const uint8_t* data, size_t size);
  uint32_t waiting();  // reply bytes ready now
  uint32_t take(uint8_t* dest, uint32_t size);
  void purgeInput() { input_.clear(); }
  void purgeOutput();
  bool connected() const { return connected_; }
  const std::string& serial() const { return config_.serial; }

  // Faults for tests.
  void addFault(const SimFault& fault) { faults_.push_back(fault); }
  void clearFaults() { faults_.clear(); }

  // What the analyser holds, for tests and the command line.
  // The most recent frames received (at most kFrameLogLength), oldest first.
  std::vector<std::string> frameLog() const { return {frameLog_.begin(), frameLog_.end()}; }
  void clearFrameLog() { frameLog_.clear(); }
  uint64_t framesReceived() const { return framesReceived_; }
  bool running() const { return running_; }
  bool scanning() const { return running_ && mapping_; }
  int channels() const { return channels_; }
  int32_t presetTenths() const { return presetTenths_; }
  ViewWindow view() const { return view_; }
  int fullScaleCode() const { return logScale_ ? 0 : step_; }
  uint32_t count(int channel) const;  // in the bank the block reads return
  uint64_t eventCount() const { return events_; }
  int32_t realTimeTicks() const;
  char outputMode() const { return outputMode_; }
  ViewWindow roiWindow(int n) const { return roiWindows_[static_cast<size_t>(n)]; }
  int64_t passesCompleted() const { return passesCompleted_; }
  // How many spectrum reads (counted at their first block) returned pass
  // `pass`, numbered from 1 over the analyser's life; 0 for a pass never
  // read or not (yet) completed.
  int passReads(int64_t pass) const;
  const SpectrumModel& model() const { return model_; }
  const SimulatedAnalyserConfig& config() const { return config_; }

  // Test set-ups: put known counts into the bank the block reads return,
  // or known values into the real-time and event counters.
  void loadCounts(const std::vector<uint32_t>& counts);
  void loadCounters(int32_t realTimeTicks, uint64_t events);
  // Puts a phantom in front of the detector (or takes it away).
  void setPhantom(std::optional<Phantom> phantom);
  // The pixel the scan's current pass counts, in raster order.
  int64_t phantomPixel() const;

  // Brings the counters up to the clock's present.
  void advance();

 private:
  struct Segment {
    uint32_t length;
    int64_t readyAt;
  };

  void handleFrame(const std::string& frame);
  const SimFault* matchFault(const std::string& frame);
  bool execute(const std::string& body, std::vector<uint8_t>& reply);
  bool executeView(const std::string& body);
  void queueReply(const std::vector<uint8_t>& bytes, int64_t readyAt);

  void setMemorySize(int channels);
  void clearBank(std::vector<uint32_t>& bank);
  void recordEvents(int64_t micros, std::vector<uint32_t>& bank);
  void finishPass();
  void appendStatus(std::vector<uint8_t>& reply);
  void appendBlock(int block, std::vector<uint8_t>& reply);
  uint8_t previewHeight(uint32_t value) const;

  Clock& clock_;
  SimulatedAnalyserConfig config_;
  SpectrumModel model_;
  std::mt19937_64 rng_;
  std::discrete_distribution<int> channelDistribution_;
  // Per phantom region (SimSample order): where its events land.
  std::vector<std::discrete_distribution<int>> phantomDistributions_;
  int64_t scanPass_ = 0;  // passes since the scan started
  double recordedRatePerMicro_ = 0.0;

  bool connected_ = true;
  std::string input_;
  std::deque<uint8_t> output_;
  std::deque<Segment> segments_;
  std::vector<SimFault> faults_;
  std::deque<std::string> frameLog_;
  // Atomic: a test on the window's thread watches it while a worker talks.
  std::atomic<uint64_t> framesReceived_{0};
  std::vector<uint8_t> reply_;  // reused for every reply

  int channels_ = 4096;
  int32_t presetTenths_ = 10000;
  bool running_ = false;
  bool mapping_ = false;
  int64_t lastUpdate_ = 0;
  int64_t elapsedMicros_ = 0;      // MCA real time since the last clear
  int64_t passElapsedMicros_ = 0;  // mapping: time into the current pass
  uint64_t events_ = 0;
  std::array<std::vector<uint32_t>, 2> banks_;
  int acquireBank_ = 0;  // the bank events go into
  int readoutBank_ = 0;  // the bank spectrum blocks come from
  int pendingPasses_ = 0;
  int64_t passesCompleted_ = 0;
  int64_t readoutPass_ = 0;  // the pass the readout bank holds; 0 for none
  std::vector<int> passReads_;  // indexed by pass number

  ViewWindow view_{0, 4095, 2048};
  bool logScale_ = true;
  int step_ = 2;
  char outputMode_ = 'M';
  std::array<ViewWindow, 5> roiWindows_{};
};

}  // namespace tolvane
