#pragma once
// Time as the link and the simulated analyser see it. The steady clock
// follows the machine; the manual clock moves only when told to (tests, and
// the command line's fast mode), and its sleep advances it at once.
#include <cstdint>

namespace tolvane {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual int64_t nowMicros() const = 0;
  virtual void sleepMicros(int64_t micros) = 0;
};

class SteadyClock final : public Clock {
 public:
  int64_t nowMicros() const override;
  void sleepMicros(int64_t micros) override;
};

class ManualClock final : public Clock {
 public:
  explicit ManualClock(int64_t startMicros = 0) : now_(startMicros) {}
  int64_t nowMicros() const override { return now_; }
  void sleepMicros(int64_t micros) override { advanceMicros(micros); }
  void advanceMicros(int64_t micros) {
    if (micros > 0) now_ += micros;
  }
  void advanceMillis(int64_t millis) { advanceMicros(millis * 1000); }

 private:
  int64_t now_;
};

}  // namespace tolvane
