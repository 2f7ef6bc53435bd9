#include "display/normalised_overlay.h"

#include <algorithm>
#include <cmath>

#include "app/engine_state.h"

namespace tolvane {

int32_t overlayReferenceLiveTime(const EngineState& s) {
  const int32_t live = s.SelectedMemory == 0 ? s.Acquisition.LiveTime
                                             : (s.McaSlotHeader ? s.McaSlotHeader->liveTime() : 0);
  return live > 0 ? live : kDefaultReferenceLiveTenths;
}

std::vector<int32_t> countsAtLiveTime(const int32_t* counts, int32_t size, int32_t live, int32_t reference) {
  std::vector<int32_t> out(counts, counts + std::max(size, 0));
  if (live <= 0 || reference <= 0) return out;
  const double scale = static_cast<double>(reference) / live;
  for (int32_t& c : out) c = static_cast<int32_t>(std::clamp(std::round(c * scale), -2147483648.0, 2147483647.0));
  return out;
}

}  // namespace tolvane
