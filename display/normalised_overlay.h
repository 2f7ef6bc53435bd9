#pragma once
// Memory overlays normalised by live time: with "Norm. LT" checked,
// SnapShot of a memory draws its counts times T_ref / T_live, so a 60 s and
// a 600 s spectrum show the same height for the same count rate. T_ref is
// the live time of the MCA slot's run (kept when the slot was left), or
// 100 s when there has been none; every overlay taken with the switch on
// shares it, and so compares with the live spectrum of that run.
#include <cstdint>
#include <vector>

namespace tolvane {

class EngineState;

inline constexpr int32_t kDefaultReferenceLiveTenths = 1000;  // 100 s

// The live time (tenths of a second) normalised overlays are drawn at.
int32_t overlayReferenceLiveTime(const EngineState& state);

// counts x reference / live, rounded, held to 32 bits; the counts as they
// are when `live` is not above zero (nothing to scale by).
std::vector<int32_t> countsAtLiveTime(const int32_t* counts, int32_t size, int32_t live, int32_t reference);

}  // namespace tolvane
