#pragma once
// A manual clock for the fuzz targets whose every sleep jumps a whole link
// time-out: a reply that has not come whole by the first poll has timed out
// at the second, so a script's time-outs cost no polling loop.
#include "device/clock.h"
#include "device/mca_transport.h"

namespace tolvane {

class StepClock final : public Clock {
 public:
  int64_t nowMicros() const override { return now_; }
  void sleepMicros(int64_t) override { now_ += McaTransport::kReplyTimeoutMicros; }
  void advanceMillis(int64_t millis) { now_ += millis * 1000; }

 private:
  int64_t now_ = 0;
};

// A script's bound: each exchange that can time out costs one time-out,
// plus the ticks' own intervals.
constexpr int64_t scriptBoundMicros(int timeOuts, int ticks) {
  return timeOuts * McaTransport::kReplyTimeoutMicros + int64_t{ticks} * 100'000;
}

}  // namespace tolvane
