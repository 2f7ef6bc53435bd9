#pragma once
// The beam that excites the sample, as photon energies with weights
// (photons per unit of source activity or tube current; only the ratios
// matter, since sample and standards see the same beam). A radionuclide's
// beam is its X-ray and gamma lines from the xraylib tables.
#include <optional>
#include <string_view>
#include <vector>

namespace tolvane {

struct BeamLine {
  double energyKev = 0.0;
  double weight = 0.0;
};

struct ExcitationBeam {
  std::vector<BeamLine> lines;
  double maxEnergyKev() const;
};

enum class Radionuclide { Fe55, Cd109, Am241 };

// "fe55", "Fe-55", "cd109", "am241" (any case, with or without the dash).
std::optional<Radionuclide> radionuclideFromName(std::string_view name);
const char* radionuclideName(Radionuclide source);  // "fe55", "cd109", "am241"

// The source's lines above 1 keV with the emission probabilities the
// tables give (photons per decay): Fe-55 is Mn K-alpha1, K-alpha2 and
// K-beta; Cd-109 Ag K and the 88 keV gamma; Am-241 Np L, the 26.3 and
// 59.5 keV gammas and the weaker ones.
ExcitationBeam radionuclideBeam(Radionuclide source);

}  // namespace tolvane
