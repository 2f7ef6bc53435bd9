#pragma once
// A session wired to simulated analysers on a manual clock, as every core
// test uses it: time moves only when the test moves it.
#include <memory>
#include <string>
#include <vector>

#include "app/session.h"
#include "device/clock.h"
#include "device/sim/sim_ftdi.h"

namespace tolvane::testing {

struct SimRig {
  explicit SimRig(int analysers = 1, SimulatedAnalyserConfig config = {});

  SimulatedAnalyser& analyser(size_t i = 0) { return bridge.analyser(i); }
  // Opens analyser 0 through "OpenMCA".
  void open();
  // Advances the clock by one 100 ms tick period and runs Timer1's tick.
  void tick();
  // The frames the analyser received since the log was last cleared.
  std::vector<std::string> frames(size_t i = 0) { return analyser(i).frameLog(); }

  ManualClock clock;
  SimFtdi bridge{clock};
  std::unique_ptr<Session> session;
};

// Puts f(c) into channels 0 .. channels-1 of the working spectrum and makes
// it that long.
void fillSpectrum(Session& session, int channels, int32_t (*f)(int));
void setView(Session& session, int32_t first, int32_t last);

// A temporary folder removed with everything in it when the object dies.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
};

std::vector<uint8_t> readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace tolvane::testing
