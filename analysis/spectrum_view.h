#pragma once
// Read access to the working spectrum for the peak analyses: only channels
// 0 .. N-1 exist; anything else reads as absent.
#include <algorithm>
#include <cstdint>

#include "app/engine_state.h"

namespace tolvane {

struct SpectrumView {
  const int32_t* counts;
  int32_t size;  // N
  bool has(int64_t c) const { return c >= 0 && c < size; }
  int32_t at(int64_t c) const { return has(c) ? counts[c] : 0; }
};

inline SpectrumView workingSpectrum(const EngineState& s) {
  return {s.Working.Counts.data(), std::clamp(s.Acquisition.ChannelCount, 0, s.Working.capacity())};
}

// The peak next to the cursor: the channel with the largest count above
// zero in cursor-5 .. cursor+5 (the lowest channel wins a tie), and the
// single-precision centroid of the five channels around it. `found` is
// false when no channel there holds a count above zero.
struct PeakNearCursor {
  bool found = false;
  int32_t channel = 0;
  int32_t height = 0;
  float centroid = 0.0f;
};
PeakNearCursor findPeakNearCursor(const SpectrumView& y, int32_t cursor);

// (a - b) / (c - d) in single precision, the differences formed exactly; a
// zero denominator (two equal neighbours) gives no fraction.
float edgeFraction(int64_t a, int64_t b, int64_t c, int64_t d);

}  // namespace tolvane
