#pragma once
// The Mn K-alpha fit: the detector's resolution as a FWHM in eV on the Mn
// K-alpha peak, and a two-Gaussian model (K-alpha1 and K-alpha2 at half
// its intensity) whose common position is refined by a two-pass grid
// search. The fitted curves become an overlay on the plot.
#include <cstdint>
#include <vector>

#include "analysis/spectrum_view.h"

namespace tolvane {

struct MnFitState;

struct [[nodiscard]] MnFitResult {
  enum class Outcome { Fitted, NoPeak, PeakAtViewEdge } outcome = Outcome::NoPeak;
  PeakNearCursor peak;  // the peak the fit started from
  float centroid = 0.0f;
  float fwhmCh = 0.0f;
  float fwhmEv = 0.0f;
  float evPerChannel = 0.0f;
  float startX1 = 0.0f, startX2 = 0.0f;          // positions before the search
  float x1 = 0.0f, x2 = 0.0f;                    // fitted positions
  float lastTrialX1 = 0.0f, lastTrialX2 = 0.0f;  // the last positions evaluated
  float a1 = 0.0f, a2 = 0.0f, g2 = 0.0f;         // heights and squared width (channels)
};

MnFitResult fitMnKAlpha(const SpectrumView& y, int32_t cursor, int32_t lo, int32_t hi, float kAlpha1Ev,
                        float kAlpha2Ev);

// Height of the model Gaussian of height `a` at `x`, at channel k, rounded
// to single precision.
float gaussianAt(float a, float x, int64_t k, float g2);

// Keeps a fit's results in the fit state: the channel's width in eV and
// the last trial positions of the search.
void recordMnFit(MnFitState& state, const MnFitResult& result);

// The plot the overlay is drawn for: its size in pixels, the full scale in
// counts, the displayed channels, and the highest row a curve may take.
struct OverlayFrame {
  int32_t width = 0, height = 0;
  int64_t fullScale = 1;
  int32_t firstShown = 0, lastShown = 0;
  int32_t topRow = 0;
};

// The four overlay curves as plot rows (0 at the top, at most height - 1),
// one entry per pixel column: the K-alpha1 and K-alpha2 Gaussians, their
// sum, and the counts less the K-alpha1 Gaussian (floored at 0).
struct MnFitOverlay {
  std::vector<int32_t> kAlpha1, kAlpha2, sum, residual;
};
MnFitOverlay mnFitOverlay(const SpectrumView& y, const MnFitResult& result, const OverlayFrame& frame);

}  // namespace tolvane
