#include "test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "handlers/mca_handlers.h"

namespace tolvane::testing {

SimRig::SimRig(int analysers, SimulatedAnalyserConfig config) {
  for (int i = 0; i < analysers; ++i) {
    SimulatedAnalyserConfig c = config;
    c.serial = config.serial + std::to_string(i);
    c.seed = config.seed + static_cast<uint64_t>(i);
    bridge.attach(c);
  }
  session = std::make_unique<Session>(bridge, clock);
  session->LocalTime = [] { return LocalDateTime{2026, 12, 7, 9, 30, 15}; };
}

void SimRig::open() { McaOpenClick(*session); }

void SimRig::tick() {
  clock.advanceMillis(session->Timer1.IntervalMs);
  Timer1Timer(*session);
}

void fillSpectrum(Session& s, int channels, int32_t (*f)(int)) {
  s.Acquisition.ChannelCount = channels;
  for (int c = 0; c < channels; ++c) s.Working.Counts[static_cast<size_t>(c)] = f(c);
}

void setView(Session& s, int32_t first, int32_t last) {
  s.Display.FirstShown = first;
  s.Display.LastShown = last;
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tolvane-test-XXXXXX").string();
  dir_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
}

std::vector<uint8_t> readFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace tolvane::testing
