#pragma once
// A sample to map in the simulator: a known pattern of regions on a
// matrix that only scatters the Fe-55 source. A Ca disc (upper left), a
// Ti disc (upper right), a Cr stripe between them and a V band across the
// lower part; every other pixel is matrix. Each region's element gives the
// same K-alpha1 intensity, so its map stands out by the same margin.
// Pass p of a scan (from 0) is pixel (p mod width, (p div width) mod
// height), row by row from the top left, as the program rasters a map.
#include <cstdint>

#include "device/sim/spectrum_model.h"

namespace tolvane {

struct Phantom {
  int32_t width = 64;
  int32_t height = 48;
};

// The element at a pixel; None for the matrix.
SimSample phantomSample(const Phantom& phantom, int32_t x, int32_t y);

// K-alpha1 of each region's element relative to Mn K-alpha1.
inline constexpr double kPhantomKAlpha1 = 0.6;

// The spectrum model of a region: the element's lines scaled so that its
// K-alpha1 is kPhantomKAlpha1 whatever share of the source excites it.
SpectrumModelConfig phantomRegionModel(SpectrumModelConfig base, SimSample sample);

}  // namespace tolvane
