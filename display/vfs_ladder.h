#pragma once
// The vertical full-scale ladder: index 1..22 are the linear full scales
// (100 .. 1,000,000,000 counts); index 0 (50, "Log") is never used to scale.
#include <cstdint>

namespace tolvane {

inline constexpr int kVfsSteps = 22;

int64_t vfsFullScale(int index);  // 0 for an index outside 0..22
const char* vfsLabel(int index);  // "" for an index outside 0..22

}  // namespace tolvane
