#pragma once
// The excitation, geometry and standards of a standards table, kept in a
// text file beside it (steel.ref -> steel.quant) so that a table and the
// conditions it was measured under travel together. One setting per line,
// '#' starts a comment, words separated by blanks:
//
//   source fe55                  fe55 | cd109 | am241
//   tube Rh 30 125               anode, kV, Be window in um (instead of source)
//   tube_angles 90 45            electron incidence and take-off at the anode, degrees
//   angles 45 45                 beam and detector to the sample's surface, degrees
//   balance normalise            normalise | an element or formula by difference (Fe, O, CH2O)
//   line Ka                      the line group K-ratios are measured on: Ka | Kb | La
//   sample_ua 100                the sample's beam current, uA
//   standard Cr Cr 100           element, the standard's formula, its beam current (uA)
//   standard Fe Fe2O3 50
//
// Docs: docs/fundamental_parameters.md.
#include <istream>
#include <map>
#include <optional>
#include <ostream>
#include <string>

#include "quant/ebel_tube.h"
#include "quant/excitation_beam.h"
#include "quant/fluorescence_model.h"
#include "quant/line_group.h"

namespace tolvane {

struct StandardConditions {
  std::string formula;  // the standard's composition; the element alone when empty
  double currentUa = 0.0;  // 0: not stated (taken equal to the sample's)
};

struct QuantConditions {
  std::optional<Radionuclide> source = Radionuclide::Fe55;
  std::optional<TubeSettings> tube;  // set: the tube, not the source
  std::optional<ExcitationBeam> userBeam;  // set: these lines, neither source nor tube
  Geometry geometry;
  std::string balance = "normalise";
  LineGroup line = LineGroup::KAlpha;
  double sampleCurrentUa = 0.0;
  std::map<int, StandardConditions> standards;  // by atomic number

  ExcitationBeam beam() const;
};

struct ConditionsRead {
  std::optional<QuantConditions> conditions;
  int errorLine = 0;  // 1-based line of the first thing not understood
  std::string error;
};

ConditionsRead readQuantConditions(std::istream& in);
void writeQuantConditions(std::ostream& out, const QuantConditions& conditions);
// The conditions file of a table: the table's path with ".quant" in place
// of its extension.
std::string conditionsPathFor(const std::string& tablePath);

// "Rh:30" or "Rh:30:125" (anode:kV[:window um]); nothing when malformed.
std::optional<TubeSettings> parseTube(const std::string& text);

}  // namespace tolvane
