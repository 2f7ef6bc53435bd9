#pragma once
// The top-hat filter of the quantitative fit: a zero-area filter of a left
// side lobe, a centre lobe and a right side lobe, and its variance. Inputs
// are 4096-channel buffers whose channels past the spectrum are zero;
// outputs past the spectrum, and outputs whose window would reach past
// channel 4095, are zero.
#include <cstdint>

namespace tolvane {

inline constexpr int kFitChannels = 4096;

struct TopHatWidths {
  int32_t side = 8;     // channels in each side lobe
  int32_t centre = 16;  // channels in the centre lobe
};

// out[i] = sum of the 2*side+centre channels from i - h - 1, the sides
// weighted centre * -0.5 / side, the centre 1 (h = (2*side+centre)/2).
void TopHatFilter(const int32_t* in, double* out, int32_t n, TopHatWidths widths = {});
// The same window one channel later, with the side weights squared.
void TopHatVariance(const int32_t* in, double* out, int32_t n, TopHatWidths widths = {});

}  // namespace tolvane
