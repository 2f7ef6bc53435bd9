#pragma once
// The detector's energy resolution: FWHM(E)^2 = noise^2 + 2.3548^2 F e E for
// silicon (Fano factor F = 0.115, e = 3.85 eV per electron-hole pair). The
// noise term comes from one known width: 145 eV at 5.9 keV, or the last
// measured FWHM of a peak at a known energy.
namespace tolvane {

class DetectorResolution {
 public:
  DetectorResolution() : DetectorResolution(0.145, 5.899) {}
  DetectorResolution(double fwhmKev, double atKev);

  double fwhmKev(double energyKev) const;

 private:
  double noiseSquared_ = 0.0;  // keV^2
};

}  // namespace tolvane
