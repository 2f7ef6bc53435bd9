#pragma once
// The atomic data the fluorescence model needs, from the xraylib tables:
// mass attenuation (photoelectric with Kissel's partial cross sections,
// Rayleigh and Compton), fluorescence line production cross sections with
// the Coster-Kronig and radiative cascades, line and edge energies, atomic
// weights and chemical formulas. A value the tables do not hold comes back
// as 0 (a line the element does not emit, an energy below an edge), never
// as an error printed by the library.
#include <optional>
#include <string>
#include <vector>

namespace tolvane {

// Mass attenuation coefficient (cm2/g) of element z at energyKev.
double massAttenuation(int z, double energyKev);
// Photons of line `line` (an xraylib line macro) emitted per unit mass
// path when element z absorbs photons of energyKev (cm2/g); 0 below the
// line's edge.
double lineCrossSection(int z, int line, double energyKev);
// Energy of a line in keV; 0 when the element has no such line.
double lineEnergy(int z, int line);
// Absorption edge of a shell (an xraylib shell macro) in keV; 0 when absent.
double edgeEnergy(int z, int shell);
double atomicWeight(int z);
// Fluorescence yield of a shell times the radiative rate of a line.
double lineYield(int z, int shell, int line);

// One element and its mass fraction.
struct ElementFraction {
  int z = 0;
  double fraction = 0.0;
};

// The elements and mass fractions of a chemical formula ("Fe2O3", "CH2O",
// "Ti"); nothing when the formula cannot be read.
std::optional<std::vector<ElementFraction>> formulaFractions(const std::string& formula);

}  // namespace tolvane
