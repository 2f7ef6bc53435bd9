#include "device/sim/simulated_analyser.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "device/clock.h"
#include "display/vfs_ladder.h"

namespace tolvane {

namespace {

constexpr size_t kMaxFrameLength = 64;
constexpr int64_t kMinPassMicros = 100'000;
constexpr int kPreviewPoints = 256;
constexpr int kStatusSize = 310;

// Parses all of `text` as a non-negative decimal number.
bool parseNumber(std::string_view text, int32_t& value) {
  if (text.empty()) return false;
  const auto* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && value >= 0;
}

bool isFourDigits(std::string_view text) {
  return text.size() == 4 && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void appendLe16(std::vector<uint8_t>& out, int32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void appendLe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

const char* simFaultName(SimFaultKind kind) {
  switch (kind) {
    case SimFaultKind::NoReply:
      return "no reply";
    case SimFaultKind::Refuse:
      return "refusal";
    case SimFaultKind::Garbage:
      return "garbage";
    case SimFaultKind::ShortReply:
      return "short reply";
    case SimFaultKind::ExtraBytes:
      return "extra bytes";
    case SimFaultKind::SlowReply:
      return "slow reply";
    case SimFaultKind::Disconnect:
      return "disconnect";
    case SimFaultKind::StrayThenLateReply:
      return "stray+late";
  }
  return "?";
}

SimulatedAnalyser::SimulatedAnalyser(Clock& clock, SimulatedAnalyserConfig config)
    : clock_(clock), config_(std::move(config)), model_(config_.model), rng_(config_.seed) {
  // The configured rate is the bare source's; a sample adds its lines.
  const double n = config_.inputRateCps * model_.rateOverBareSource() * 1e-6;  // events per microsecond
  recordedRatePerMicro_ = n / (1.0 + n * config_.deadTimeMicros);
  for (auto& bank : banks_) bank.assign(kBankCapacity, 0);
  lastUpdate_ = clock_.nowMicros();
  setMemorySize(4096);
  setPhantom(config_.phantom);
  reply_.reserve(1024);
}

uint32_t SimulatedAnalyser::count(int channel) const {
  if (channel < 0 || channel >= kBankCapacity) return 0;
  return banks_[static_cast<size_t>(readoutBank_)][static_cast<size_t>(channel)];
}

int32_t SimulatedAnalyser::realTimeTicks() const {
  return static_cast<int32_t>((mapping_ ? passElapsedMicros_ : elapsedMicros_) / 10'000);
}

void SimulatedAnalyser::loadCounts(const std::vector<uint32_t>& counts) {
  auto& bank = banks_[static_cast<size_t>(mapping_ ? readoutBank_ : 0)];
  std::fill(bank.begin(), bank.end(), 0u);
  std::copy_n(counts.begin(), std::min(counts.size(), bank.size()), bank.begin());
}

void SimulatedAnalyser::loadCounters(int32_t realTimeTicks, uint64_t events) {
  advance();
  (mapping_ ? passElapsedMicros_ : elapsedMicros_) = int64_t{realTimeTicks} * 10'000;
  events_ = events;
}

int SimulatedAnalyser::passReads(int64_t pass) const {
  if (pass < 1 || pass >= static_cast<int64_t>(passReads_.size())) return 0;
  return passReads_[static_cast<size_t>(pass)];
}

void SimulatedAnalyser::setPhantom(std::optional<Phantom> phantom) {
  config_.phantom = phantom;
  phantomDistributions_.clear();
  if (!phantom) return;
  for (SimSample sample : {SimSample::None, SimSample::Ca, SimSample::Ti, SimSample::V, SimSample::Cr}) {
    const std::vector<double> weights =
        SpectrumModel(phantomRegionModel(config_.model, sample)).channelWeights(channels_);
    phantomDistributions_.emplace_back(weights.begin(), weights.end());
  }
}

int64_t SimulatedAnalyser::phantomPixel() const {
  if (!config_.phantom) return 0;
  return scanPass_ % (int64_t{config_.phantom->width} * config_.phantom->height);
}

void SimulatedAnalyser::setMemorySize(int channels) {
  channels_ = channels;
  readoutPass_ = 0;
  view_ = ViewWindow{0, channels - 1, channels / 2};
  const std::vector<double> weights = model_.channelWeights(channels);
  channelDistribution_ = std::discrete_distribution<int>(weights.begin(), weights.end());
  if (config_.phantom) setPhantom(config_.phantom);
  for (auto& bank : banks_) clearBank(bank);
}

void SimulatedAnalyser::clearBank(std::vector<uint32_t>& bank) { std::fill(bank.begin(), bank.end(), 0u); }

void SimulatedAnalyser::recordEvents(int64_t micros, std::vector<uint32_t>& bank) {
  const double mean = recordedRatePerMicro_ * static_cast<double>(micros);
  if (!(mean > 0.0)) return;
  std::poisson_distribution<int64_t> arrivals(mean);
  const int64_t n = arrivals(rng_);
  events_ += static_cast<uint64_t>(n);
  if (outputMode_ == 'S') return;  // fast SCA output: events counted, no spectrum
  std::discrete_distribution<int>* distribution = &channelDistribution_;
  if (mapping_ && !phantomDistributions_.empty()) {
    const int64_t pixel = phantomPixel();
    const SimSample sample = phantomSample(*config_.phantom, static_cast<int32_t>(pixel % config_.phantom->width),
                                           static_cast<int32_t>(pixel / config_.phantom->width));
    distribution = &phantomDistributions_[static_cast<size_t>(sample)];
  }
  for (int64_t i = 0; i < n; ++i) {
    const int c = (*distribution)(rng_);
    if (outputMode_ == 'G') {
      // Gated: only events inside one of the four SCA windows are stored.
      bool inside = false;
      for (int r = 1; r <= 4; ++r)
        inside =
            inside || (c >= roiWindows_[static_cast<size_t>(r)].First && c < roiWindows_[static_cast<size_t>(r)].Last);
      if (!inside) continue;
    }
    ++bank[static_cast<size_t>(c)];
  }
}

void SimulatedAnalyser::finishPass() {
  readoutBank_ = acquireBank_;
  acquireBank_ = 1 - acquireBank_;
  clearBank(banks_[static_cast<size_t>(acquireBank_)]);
  ++pendingPasses_;
  ++passesCompleted_;
  readoutPass_ = passesCompleted_;
  passElapsedMicros_ = 0;
  ++scanPass_;
}

void SimulatedAnalyser::advance() {
  const int64_t now = clock_.nowMicros();
  int64_t dt = now - lastUpdate_;
  lastUpdate_ = now;
  if (!running_ || dt <= 0) return;

  if (!mapping_) {
    if (presetTenths_ > 0) {
      const int64_t remaining = int64_t{presetTenths_} * 100'000 - elapsedMicros_;
      if (dt >= remaining) {
        dt = std::max<int64_t>(remaining, 0);
        running_ = false;  // the preset real time is reached: counting stops
      }
    }
    elapsedMicros_ += dt;
    recordEvents(dt, banks_[0]);
    return;
  }

  const int64_t passMicros = std::max<int64_t>(int64_t{presetTenths_} * 100'000, kMinPassMicros);
  while (dt > 0) {
    const int64_t step = std::min(dt, passMicros - passElapsedMicros_);
    recordEvents(step, banks_[static_cast<size_t>(acquireBank_)]);
    passElapsedMicros_ += step;
    dt -= step;
    if (passElapsedMicros_ >= passMicros) finishPass();
  }
}

void SimulatedAnalyser::receive(const uint8_t* data, size_t size) {
  if (!connected_) return;
  input_.append(reinterpret_cast<const char*>(data), size);
  for (;;) {
    const size_t start = input_.find('$');
    if (start == std::string::npos) {
      input_.clear();  // nothing here can begin a frame
      return;
    }
    size_t end = input_.find(';', start);
    // "$V" takes one character, which may itself be ';' (step 11).
    if (input_.compare(start, 4, "$V;;") == 0) end = start + 3;
    if (end == std::string::npos) {
      if (input_.size() - start > kMaxFrameLength) {
        input_.clear();
        queueReply({kRefusal}, clock_.nowMicros());
      } else if (start > 0) {
        input_.erase(0, start);
      }
      return;
    }
    const std::string frame = input_.substr(start, end - start + 1);
    input_.erase(0, end + 1);
    handleFrame(frame);
    if (!connected_) return;
  }
}

const SimFault* SimulatedAnalyser::matchFault(const std::string& frame) {
  for (SimFault& fault : faults_) {
    if (frame.compare(0, fault.framePrefix.size(), fault.framePrefix) != 0) continue;
    if (fault.skip > 0) {
      --fault.skip;
      continue;
    }
    if (fault.times == 0) continue;
    if (fault.times > 0) --fault.times;
    return &fault;
  }
  return nullptr;
}

void SimulatedAnalyser::handleFrame(const std::string& frame) {
  ++framesReceived_;
  frameLog_.push_back(frame);
  if (frameLog_.size() > kFrameLogLength) frameLog_.pop_front();
  advance();
  const SimFault* fault = matchFault(frame);
  const int64_t now = clock_.nowMicros();
  if (fault) {
    switch (fault->kind) {
      case SimFaultKind::NoReply:
        return;
      case SimFaultKind::Refuse:
        queueReply({kRefusal}, now);
        return;
      case SimFaultKind::Garbage:
        queueReply({kGarbage}, now);
        return;
      case SimFaultKind::Disconnect:
        connected_ = false;
        input_.clear();
        purgeOutput();
        return;
      default:
        break;
    }
  }

  reply_.clear();
  const std::string body = frame.substr(1, frame.size() - 2);
  if (!execute(body, reply_)) {
    reply_.assign(1, kRefusal);
  }
  int64_t readyAt = now;
  if (fault) {
    if (fault->kind == SimFaultKind::ShortReply) reply_.resize(reply_.size() / 2);
    if (fault->kind == SimFaultKind::ExtraBytes)
      reply_.insert(reply_.end(), static_cast<size_t>(std::max(fault->extraBytes, 0)), uint8_t{0x5A});
    if (fault->kind == SimFaultKind::SlowReply) readyAt += fault->delayMicros;
    if (fault->kind == SimFaultKind::StrayThenLateReply) {
      queueReply({kGarbage}, now);
      readyAt += fault->delayMicros;
    }
  }
  queueReply(reply_, readyAt);
}

void SimulatedAnalyser::queueReply(const std::vector<uint8_t>& bytes, int64_t readyAt) {
  if (bytes.empty()) return;
  output_.insert(output_.end(), bytes.begin(), bytes.end());
  segments_.push_back({static_cast<uint32_t>(bytes.size()), readyAt});
}

void SimulatedAnalyser::purgeOutput() {
  output_.clear();
  segments_.clear();
}

uint32_t SimulatedAnalyser::waiting() {
  if (!connected_) return 0;
  const int64_t now = clock_.nowMicros();
  uint32_t ready = 0;
  for (const Segment& segment : segments_) {
    if (segment.readyAt > now) break;  // a late reply holds back what follows it
    ready += segment.length;
  }
  return ready;
}

uint32_t SimulatedAnalyser::take(uint8_t* dest, uint32_t size) {
  const uint32_t n = std::min(size, waiting());
  std::copy_n(output_.begin(), n, dest);
  output_.erase(output_.begin(), output_.begin() + n);
  uint32_t left = n;
  while (left > 0 && !segments_.empty()) {
    Segment& front = segments_.front();
    const uint32_t used = std::min(left, front.length);
    front.length -= used;
    left -= used;
    if (front.length == 0) segments_.pop_front();
  }
  return n;
}

bool SimulatedAnalyser::execute(const std::string& body, std::vector<uint8_t>& reply) {
  const std::string_view b(body);
  auto acknowledge = [&reply] {
    reply.push_back(kAcknowledge);
    return true;
  };

  if (b == "G") {
    // Back from a scan, the MCA memory holds a pass of the scan, counted in
    // none of the MCA's time: the run starts from an empty memory instead.
    if (mapping_) {
      clearBank(banks_[0]);
      events_ = 0;
      elapsedMicros_ = 0;
    }
    mapping_ = false;
    acquireBank_ = readoutBank_ = 0;
    running_ = true;
    return acknowledge();
  }
  if (b == "X") {
    mapping_ = true;
    scanPass_ = 0;
    acquireBank_ = 0;
    readoutBank_ = 1;
    running_ = true;
    passElapsedMicros_ = 0;
    pendingPasses_ = 0;
    readoutPass_ = 0;
    return acknowledge();
  }
  if (b == "S") {
    running_ = false;
    return acknowledge();
  }
  if (b == "C") {
    clearBank(banks_[0]);
    events_ = 0;
    elapsedMicros_ = 0;
    return acknowledge();
  }
  if (b == "CX") {
    for (auto& bank : banks_) clearBank(bank);
    events_ = 0;
    passElapsedMicros_ = 0;
    pendingPasses_ = 0;
    readoutPass_ = 0;
    return acknowledge();
  }
  int32_t n = 0;
  if (b.size() >= 2 && b[0] == 'R' && parseNumber(b.substr(1), n)) {
    if (n == 0) {
      appendStatus(reply);
      return true;
    }
    if (n > channels_ / 128) return false;
    appendBlock(n, reply);
    return true;
  }
  if (b.size() >= 2 && b[0] == 'P' && parseNumber(b.substr(1), n)) {
    presetTenths_ = n;
    return acknowledge();
  }
  if (b.size() >= 2 && b[0] == 'M' && parseNumber(b.substr(1), n)) {
    if (n != 4 && n != 8 && n != 16 && n != 32) return false;
    // The size it already has changes nothing (the counts, times and view
    // stay). A new size lays the memory out afresh: its counts go, and with
    // them the time and events they were counted in (a scan's pass timer
    // and passes waiting too), so no spectrum claims time it holds no
    // counts for; the view shows the whole new memory.
    if (n * 128 != channels_) {
      setMemorySize(n * 128);
      events_ = 0;
      elapsedMicros_ = 0;
      passElapsedMicros_ = 0;
      pendingPasses_ = 0;
    }
    return acknowledge();
  }
  if (b.size() == 6 && b.substr(0, 2) == "@C" && isFourDigits(b.substr(2))) {
    parseNumber(b.substr(2), n);
    view_.Cursor = std::min(n, channels_ - 1);
    return acknowledge();
  }
  if (b.size() == 13 && b.substr(0, 2) == "@R" && b[3] == ',' && b[8] == ',' && isFourDigits(b.substr(4, 4)) &&
      isFourDigits(b.substr(9, 4))) {
    const int roi = b[2] - '0';
    if (roi < 1 || roi > 4) return false;
    int32_t low = 0, high = 0;
    parseNumber(b.substr(4, 4), low);
    parseNumber(b.substr(9, 4), high);
    roiWindows_[static_cast<size_t>(roi)] = ViewWindow{low, high, 0};
    return acknowledge();
  }
  if (b == "DG" || b == "DS" || b == "DM") {
    outputMode_ = b[1];
    return acknowledge();
  }
  return executeView(body) && acknowledge();
}

// View commands change the analyser's own view the way the plot's local
// controls change the program's.
bool SimulatedAnalyser::executeView(const std::string& body) {
  if (body == "O") {
    logScale_ = true;
  } else if (body == "V") {
    logScale_ = false;
    if (step_ > 1) --step_;
  } else if (body == "v") {
    logScale_ = false;
    if (step_ < kVfsSteps) ++step_;
  } else if (body.size() == 2 && body[0] == 'V') {
    const int step = body[1] - '0';
    if (step < 1 || step > kVfsSteps) return false;
    logScale_ = false;
    step_ = step;
  } else if (body == "E") {
    expandView(view_, kViewWidth, channels_);
  } else if (body == "e") {
    compressView(view_, kViewWidth, channels_);
  } else if (body == "l") {
    scrollViewLeft(view_);
  } else if (body == "r") {
    scrollViewRight(view_, channels_);
  } else if (body == " ") {
    // any other scroll event: nothing moves
  } else {
    return false;
  }
  return true;
}

uint8_t SimulatedAnalyser::previewHeight(uint32_t value) const {
  if (logScale_) {
    if (value < 1) return 0;
    return static_cast<uint8_t>(std::min(255.0, std::log10(static_cast<double>(value)) / 6.0 * 255.0));
  }
  const int64_t fullScale = vfsFullScale(step_);
  return static_cast<uint8_t>(std::min<int64_t>(255, int64_t{value} * 255 / fullScale));
}

void SimulatedAnalyser::appendStatus(std::vector<uint8_t>& reply) {
  const std::vector<uint32_t>& live = banks_[static_cast<size_t>(acquireBank_)];
  const int64_t span = int64_t{view_.Last} - view_.First + 1;
  for (int i = 0; i < kPreviewPoints; ++i) {
    const int64_t lo = view_.First + i * span / kPreviewPoints;
    const int64_t hi = std::max(lo, view_.First + (i + 1) * span / kPreviewPoints - 1);
    uint32_t top = 0;
    for (int64_t c = lo; c <= hi && c < channels_; ++c)
      if (c >= 0) top = std::max(top, live[static_cast<size_t>(c)]);
    reply.push_back(previewHeight(top));
  }
  appendLe16(reply, view_.First);
  appendLe16(reply, view_.Last);
  appendLe16(reply, view_.Cursor);
  appendLe16(reply, 0);
  appendLe16(reply, fullScaleCode());
  appendLe16(reply, 0);
  appendLe32(reply, static_cast<uint32_t>(realTimeTicks()));
  appendLe32(reply, static_cast<uint32_t>(events_));
  reply.resize(static_cast<size_t>(kStatusSize) - 1, 0);
  // Each finished pass is reported in exactly one status block.
  uint8_t done = 0;
  if (pendingPasses_ > 0) {
    --pendingPasses_;
    done = 1;
  }
  reply.push_back(done);
}

void SimulatedAnalyser::appendBlock(int block, std::vector<uint8_t>& reply) {
  const std::vector<uint32_t>& bank = banks_[static_cast<size_t>(mapping_ ? readoutBank_ : 0)];
  if (mapping_ && block == 1 && readoutPass_ > 0) {
    if (passReads_.size() <= static_cast<size_t>(readoutPass_)) passReads_.resize(static_cast<size_t>(readoutPass_) + 1);
    ++passReads_[static_cast<size_t>(readoutPass_)];
  }
  const size_t first = static_cast<size_t>(block - 1) * 128;
  for (size_t i = 0; i < 128; ++i) appendLe32(reply, bank[first + i]);
}

}  // namespace tolvane
