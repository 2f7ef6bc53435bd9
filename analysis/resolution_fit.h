#pragma once
// The detector's resolution from a least-squares fit of the Mn K-alpha
// peak: the K-alpha1 and K-alpha2 lines as two Gaussians of one width, 11 eV
// apart with K-alpha2 at half the K-alpha1 intensity, on a linear
// background. Each channel's model is the Gaussian's integral over the
// channel (channel k spans k - 0.5 .. k + 0.5). The fit runs twice: first
// weighted by the counts, then by the first fit's model, which removes the
// bias of count weights at low counts. The result is the FWHM at the
// K-alpha1 energy in eV with its standard error, and the reduced
// chi-square. A fit that cannot be believed is refused, not reported: a
// width that ran to a bound of the fit (under one channel, or over a
// quarter of the fitted channels), a centroid more than one FWHM from the
// channel where the peak was looked for, or a reduced chi-square above 10.
// One between 3 and 10 is reported with its flag. The Mn K-alpha fit of
// the window (grid search, fixed width) is a different, older measure and
// stays as it is.
#include <cstdint>
#include <string>

namespace tolvane {

struct ResolutionFitInput {
  const int32_t* counts = nullptr;
  int32_t channels = 0;
  int32_t cursor = 0;         // a channel on or near the peak
  double evPerChannel = 0.0;  // from a valid calibration; 0: 5899 eV / K-alpha1 position
  // The cursor's energy by a valid calibration, eV; 0 without one. A cursor
  // the calibration puts far from Mn K-alpha is not fitted as Mn K-alpha.
  double cursorEnergyEv = 0.0;
  // A calibration is in force but its gain or offset is not a finite
  // number, or the gain is not positive: nothing is fitted.
  bool calibrationUnusable = false;
};

enum class [[nodiscard]] ResolutionFitOutcome {
  Fitted,
  NoPeak,
  TooFewChannels,
  NotConverged,
  NotMnKAlpha,
  BadCalibration,  // the calibration in force is not finite or not increasing
  WidthAtBound,    // the width ran to a bound of the fit
  OffCursor,       // the centroid is more than one FWHM from the cursor
  PoorFit,         // reduced chi-square above kResolutionChi2Refused
};

// Above this reduced chi-square the fit is refused; above the other it is
// reported with a flag.
inline constexpr double kResolutionChi2Refused = 10.0;
inline constexpr double kResolutionChi2Flagged = 3.0;

struct ResolutionFit {
  ResolutionFitOutcome outcome = ResolutionFitOutcome::NoPeak;
  double fwhmEv = 0.0;
  double fwhmErrEv = 0.0;   // one standard error, widened by sqrt(chi2r) when that is above 1
  double centroidCh = 0.0;  // K-alpha1 position, channel k centred on k
  double chi2Reduced = 0.0;
  double evPerChannel = 0.0;  // the conversion used
  int32_t low = 0, high = 0;  // fitted channels low .. high-1
  double dof = 0.0;
  // The width's bounds in channels of FWHM; with WidthAtBound, OffCursor
  // and PoorFit the fitted values above are filled in for the message.
  double lowestFwhmCh = 0.0, highestFwhmCh = 0.0;
  double fwhmCh = 0.0;
  bool chi2High = false;  // Fitted with chi2r above kResolutionChi2Flagged
};

inline constexpr double kResolutionKAlpha1Ev = 5899.0;
inline constexpr double kResolutionKAlpha2Ev = 5888.0;
inline constexpr double kResolutionKAlpha2Ratio = 0.5;

ResolutionFit fitResolution(const ResolutionFitInput& input);

class Session;
// The working spectrum of `session` with the cursor given; the conversion
// comes from the energy calibration when it is valid (in eV or keV, told
// by its size).
ResolutionFitInput resolutionInput(const Session& session, int32_t cursor);

// The least-squares resolution of the working spectrum at the cursor as one
// line, "Resolution 144.24 ± 0.55 eV at 5.9 keV (χ²ᵣ 0.84)" ("χ²ᵣ 4.10,
// high" when flagged), or empty when there is no fit or it was refused.
std::string resolutionLine(const Session& session);

}  // namespace tolvane
