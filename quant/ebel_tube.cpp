#include "quant/ebel_tube.h"

#include <xraylib.h>

#include <algorithm>
#include <cmath>

#include "quant/line_group.h"
#include "quant/xray_data.h"

namespace tolvane {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kBerylliumDensity = 1.848;  // g/cm3
constexpr int kBeryllium = 4;
constexpr double kLowestKev = 1.0;

double radians(double degrees) { return degrees * kPi / 180.0; }

// Mean depth (g/cm2) at which photons of overvoltage u0 are generated, and
// the depth range and backscatter coefficient it is built from.
double meanGenerationDepth(const TubeSettings& tube, double u0) {
  const double z = tube.anodeZ;
  const double e0 = tube.kilovolts;
  const double lnZ = std::log(z);
  const double m = 0.1382 - 0.9211 / std::sqrt(z);
  // Backscatter coefficient of Hunger and Kuechler.
  const double eta = std::pow(e0, m) * (0.1904 - 0.2236 * lnZ + 0.1292 * lnZ * lnZ - 0.01491 * lnZ * lnZ * lnZ);
  const double j = 0.0135 * z;  // mean ionisation potential, keV
  const double range = atomicWeight(tube.anodeZ) / z * (0.787e-5 * std::sqrt(j) * std::pow(e0, 1.5) + 0.735e-6 * e0 * e0);
  const double lnU = std::log(u0);
  return range * (0.49269 - 1.0987 * eta + 0.78557 * eta * eta) * lnU /
         (0.70256 - 1.09865 * eta + 1.0046 * eta * eta + lnU);
}

// Share of photons of energyKev generated at the mean depth for overvoltage
// u0 that leave the anode towards the window.
double anodeEscape(const TubeSettings& tube, double energyKev, double u0) {
  const double tau = massAttenuation(tube.anodeZ, energyKev) * std::sin(radians(tube.electronAngleDeg)) /
                     std::sin(radians(tube.takeoffAngleDeg));
  const double x = 2.0 * tau * meanGenerationDepth(tube, u0);
  return x > 1e-12 ? -std::expm1(-x) / x : 1.0;
}

double windowTransmission(const TubeSettings& tube, double energyKev) {
  return std::exp(-massAttenuation(kBeryllium, energyKev) * kBerylliumDensity * tube.windowUm * 1e-4);
}

struct ShellLines {
  int shell;
  double constant;  // photons / (s sr mA)
  double zShell;    // electrons in the shell
  double bShell;
  std::span<const int> lines;
};

constexpr int kKLines[] = {KL3_LINE, KL2_LINE, KM3_LINE, KM2_LINE, KN3_LINE, KN2_LINE};
constexpr int kL1Lines[] = {L1M3_LINE, L1M2_LINE, L1N2_LINE, L1N3_LINE};
constexpr int kL2Lines[] = {L2M4_LINE, L2N4_LINE, L2M1_LINE, L2O4_LINE};
constexpr int kL3Lines[] = {L3M5_LINE, L3M4_LINE, L3N5_LINE, L3M1_LINE, L3N1_LINE, L3O45_LINE};

// Ebel's constants: K from the 1999 paper, the L subshells from 2003.
constexpr ShellLines kShells[] = {
    {K_SHELL, 5.0e13, 2.0, 0.35, kKLines},
    {L1_SHELL, 6.9e13, 2.0, 0.25, kL1Lines},
    {L2_SHELL, 6.9e13, 2.0, 0.25, kL2Lines},
    {L3_SHELL, 6.9e13, 4.0, 0.25, kL3Lines},
};

void addCharacteristicLines(const TubeSettings& tube, ExcitationBeam& beam) {
  const double z = tube.anodeZ;
  const double e0 = tube.kilovolts;
  const double j = 0.0135 * z;
  for (const ShellLines& shell : kShells) {
    const double edge = edgeEnergy(tube.anodeZ, shell.shell);
    if (edge <= 0.0 || edge >= e0) continue;
    const double u0 = e0 / edge;
    const double lnU = std::log(u0);
    const double core = u0 * lnU + 1.0 - u0;
    // Stopping power factor 1/S and the backscatter factor R.
    const double inverseStopping = shell.zShell * shell.bShell / z * core *
                                   (1.0 + 16.05 * std::sqrt(j / edge) *
                                              (std::sqrt(u0) * lnU + 2.0 * (1.0 - std::sqrt(u0))) / core);
    const double backscatter =
        1.0 - 0.0081517 * z + 3.613e-5 * z * z + 0.009583 * z * std::exp(-u0) + 0.001141 * e0;
    for (const int line : shell.lines) {
      const double energy = lineEnergy(tube.anodeZ, line);
      const double yield = lineYield(tube.anodeZ, shell.shell, line);
      if (energy < kLowestKev || yield <= 0.0) continue;
      const double photons = shell.constant * inverseStopping * backscatter * yield *
                             anodeEscape(tube, energy, u0) * windowTransmission(tube, energy);
      if (photons > 0.0) beam.lines.push_back({energy, photons});
    }
  }
}

}  // namespace

double ebelContinuumDensity(const TubeSettings& tube, double energyKev) {
  const double e0 = tube.kilovolts;
  if (energyKev <= 0.0 || energyKev >= e0) return 0.0;
  const double z = tube.anodeZ;
  const double exponent = 1.109 - 0.00435 * z + 0.00175 * e0;
  const double u0 = e0 / energyKev;
  return 1.35e9 * z * std::pow(u0 - 1.0, exponent) * anodeEscape(tube, energyKev, u0) *
         windowTransmission(tube, energyKev);
}

ExcitationBeam ebelTubeBeam(const TubeSettings& tube) {
  ExcitationBeam beam;
  const double bin = tube.binKev > 0.0 ? tube.binKev : 0.1;
  const int bins = static_cast<int>(std::ceil((tube.kilovolts - kLowestKev) / bin));
  for (int i = 0; i < bins; ++i) {
    const double low = kLowestKev + i * bin;
    const double high = std::min(low + bin, tube.kilovolts);
    const double centre = 0.5 * (low + high);
    const double photons = ebelContinuumDensity(tube, centre) * (high - low);
    if (photons > 0.0) beam.lines.push_back({centre, photons});
  }
  addCharacteristicLines(tube, beam);
  std::sort(beam.lines.begin(), beam.lines.end(),
            [](const BeamLine& a, const BeamLine& b) { return a.energyKev < b.energyKev; });
  return beam;
}

}  // namespace tolvane
