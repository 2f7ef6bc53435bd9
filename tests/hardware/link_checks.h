#pragma once
// Checks both real-hardware backends go through: a whole acquisition
// compared with the simulator run directly, and a link fault in a running
// acquisition.
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "app/session.h"
#include "tests/hardware/ftdi_chip.h"

namespace tolvane::hw {

struct AcquisitionOutcome {
  bool opened = false;
  std::vector<int32_t> counts;  // the working spectrum after the final read
  int32_t channelCount = 0;
  int32_t maxCount = 0;
  int32_t realTime = 0;
  int32_t liveTime = 0;
  bool timerRunning = true;
  std::vector<std::string> frames;  // as the analyser received them
};

// "OpenMCA", "Start", `ticks` polling ticks 100 ms apart on the analyser's
// clock, "Stop", and one more spectrum read, through `api`.
AcquisitionOutcome acquire(FtdiApi& api, Clock& linkClock, FtdiChip& chip, int ticks);
// The same through the simulated analyser directly (same serial and seed).
AcquisitionOutcome acquireDirect(const std::string& serial, uint64_t seed, int ticks);

struct LinkFault {
  const char* name;
  std::function<void(FtdiChip&)> inject;
  bool recovers;  // the next exchange works again (not after an unplug)
};
std::vector<LinkFault> linkFaults();
inline void PrintTo(const LinkFault& fault, std::ostream* out) { *out << fault.name; }

// Runs a tick of a running acquisition into the fault, then one more
// exchange; reports every broken expectation as a gtest failure.
void checkFaultEndsAsLinkFailure(FtdiApi& api, Clock& linkClock, FtdiChip& chip, const LinkFault& fault);

}  // namespace tolvane::hw
