#pragma once
// X-ray fluorescence of a homogeneous sample by fundamental parameters: the
// intensity of an analyte's line group per unit of beam, from primary
// fluorescence (the beam ionises the analyte) and secondary fluorescence
// (the beam ionises a matrix element whose K or L lines then ionise the
// analyte), for a thick sample or a layer of given areal density.
//
// With w the mass fractions, mu(E) = sum w_e mu_e(E) the sample's mass
// attenuation, tau_il(E) the analyte's line production cross section,
// psi1 and psi2 the angles of the beam and of the detector to the surface,
// and per beam line E0 of weight b:
//
//   primary   P_il = b w_i tau_il(E0) / sin psi1 * D(mu(E0)/sin psi1 + mu(E_il)/sin psi2)
//   secondary S_i  = b sum_(j,g) w_j tau_jg(E0) / sin psi1 * w_i tau_i(E_jg) / 2
//                        * J(mu(E0)/sin psi1, mu(E_i)/sin psi2, mu(E_jg))
//
// D and J are the depth integrals of quant/secondary_depth_integral.h. The
// common factor of the detector's solid angle over 4 pi is left out: it is
// the same for sample and standard. docs/fundamental_parameters.md gives
// the sources and the limits.
#include <span>
#include <vector>

#include "quant/excitation_beam.h"
#include "quant/line_group.h"

namespace tolvane {

struct Geometry {
  double incidenceDeg = 45.0;  // beam to the sample's surface
  double takeoffDeg = 45.0;    // sample's surface to the detector
};

struct AnalyteLine {
  int z = 0;
  LineGroup group = LineGroup::KAlpha;
};

struct LineIntensity {
  double primary = 0.0;
  double secondary = 0.0;
  double total() const { return primary + secondary; }
};

class FluorescenceModel {
 public:
  // `elements`: every element a sample or standard may contain (atomic
  // numbers); `analytes`: the lines whose intensities are asked for. The
  // atomic data for these are looked up once, here.
  FluorescenceModel(std::vector<int> elements, std::vector<AnalyteLine> analytes, ExcitationBeam beam,
                    Geometry geometry = {});

  const std::vector<int>& elements() const { return elements_; }
  const std::vector<AnalyteLine>& analytes() const { return analytes_; }
  // Index of element z in elements(), or -1.
  int elementIndex(int z) const;

  // False when no beam line lies above the analyte group's edge: the line
  // cannot be excited at all, whatever the sample.
  bool excited(size_t analyte) const { return excited_[analyte]; }

  // Intensities of every analyte for mass fractions given in the order of
  // elements(); arealDensity in g/cm2, 0 for a thick sample.
  std::vector<LineIntensity> intensities(std::span<const double> fractions, double arealDensity = 0.0) const;

 private:
  struct Enhancer {
    size_t element;                // index into elements_
    std::vector<double> yieldAtBeam;  // tau_jg(E0) per beam line
    std::vector<double> muAt;      // mu_e(E_jg) per element
  };
  struct AnalyteData {
    size_t element;
    std::vector<double> energies;                // each line of the group
    std::vector<std::vector<double>> tauAtBeam;  // [line][beam line]
    std::vector<std::vector<double>> muAtLine;   // [line][element]
    std::vector<double> muAtGroup;               // [element], at the group's mean energy
    // Secondary: the enhancers that can ionise the analyte's shell, with
    // the analyte's production of its group at the enhancer's energy.
    std::vector<size_t> enhancers;
    std::vector<double> tauAtEnhancer;
  };

  std::vector<int> elements_;
  std::vector<AnalyteLine> analytes_;
  ExcitationBeam beam_;
  double sinIn_ = 0.0, sinOut_ = 0.0;
  std::vector<std::vector<double>> muAtBeam_;  // [element][beam line]
  std::vector<Enhancer> enhancers_;
  std::vector<AnalyteData> analyteData_;
  std::vector<bool> excited_;
};

}  // namespace tolvane
