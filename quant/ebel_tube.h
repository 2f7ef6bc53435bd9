#pragma once
// The spectrum of an X-ray tube after its beryllium window, by Ebel's
// model (H. Ebel, X-Ray Spectrom. 28 (1999) 255-266, continuum and K lines;
// X-Ray Spectrom. 32 (2003) 46-51 for the L lines): Kramers-like continuum
// with Ebel's exponent, the characteristic lines from the anode's ionisation
// cross section and backscatter factor, both attenuated on their way out of
// the anode from the mean depth of generation, then through the window.
// Stated for 5-50 kV, electron incidence 50-90 degrees, take-off 5-90.
#include "quant/excitation_beam.h"

namespace tolvane {

struct TubeSettings {
  int anodeZ = 45;                // Rh
  double kilovolts = 30.0;
  double windowUm = 125.0;        // Be
  double electronAngleDeg = 90.0;  // between the electron beam and the anode's surface
  double takeoffAngleDeg = 45.0;   // between the X-rays leaving and the anode's surface
  double binKev = 0.1;             // width of the continuum's bins
};

// The continuum as one line per bin (at the bin's centre, weight = photons
// in the bin) and the anode's K and L lines, in photons / (s sr mA); bins
// from 1 keV to the tube voltage.
ExcitationBeam ebelTubeBeam(const TubeSettings& tube);

// The continuum's spectral density at one energy (photons / (s sr mA keV)),
// leaving the window; for tests and plots.
double ebelContinuumDensity(const TubeSettings& tube, double energyKev);

}  // namespace tolvane
