#pragma once
// The Mn K-alpha fit: the detector's resolution as a FWHM in eV on the Mn
// K-alpha peak, and a two-Gaussian model (K-alpha1 and K-alpha2 at half
// its intensity) whose common position is refined by a two-pass grid
// search. The fitted curves become an overlay on the plot.
#include <cstdint>

#include "analysis/spectrum_view.h"

namespace tolvane {

class Session;

struct MnFitResult {
  enum class Outcome { Fitted, NoPeak, PeakAtViewEdge } outcome = Outcome::NoPeak;
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

// Toggles the fit: hides the overlay when shown, otherwise fits the peak
// at the cursor, shows its centroid and FWHM and draws the four curves.
void MnKaFitClick(Session& session);

}  // namespace tolvane
