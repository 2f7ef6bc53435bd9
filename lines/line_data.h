#pragma once
// X-ray emission lines of the elements, from the xraylib data tables: for an
// element, its K, L and M lines with energy and relative intensity within
// the family, and the lines a silicon detector adds (escape and sum peaks).
// Every failure of the library is returned as an outcome; nothing is printed.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane {

inline constexpr int kFirstElement = 4;  // Be
inline constexpr int kLastElement = 95;  // Am
inline constexpr double kDefaultMaxKev = 20.0;
inline constexpr double kSiEscapeKev = 1.740;  // Si K-alpha, lost from the detector
inline constexpr double kSiKEdgeKev = 1.839;   // no escape below the Si K edge

enum class LineFamily { K, L, M };
enum class LineKind { Emission, Escape, Sum };

struct XrayLine {
  int z = 0;
  std::string element;  // "Fe"
  std::string name;     // "Kα1", "Kα1 esc", "2Kα", "Kα+Kβ"
  std::string group;    // marker label: "Kα", "Kα esc", "2Kα", "Kα+Kβ"
  LineFamily family = LineFamily::K;
  LineKind kind = LineKind::Emission;
  double energyKev = 0.0;
  // Intensity relative to the family's strongest line (1); for escape and
  // sum peaks the parent's relative intensity times their small yield.
  double relative = 0.0;
  // Fluorescence production cross section at the excitation energy
  // (cm2/g); compares lines across families of one element.
  double production = 0.0;
};

enum class LinesError { UnknownElement, ElementOutOfRange, NoLines };

struct ElementLines {
  std::optional<LinesError> error;
  std::vector<XrayLine> lines;  // emission lines, by family, then strength
};

// The atomic number of a symbol ("Fe", "fe") or of a decimal number
// ("26"); nothing when neither names an element in 4 .. 95.
std::optional<int> parseElement(std::string_view text);
std::string elementSymbol(int z);

// The element's K, L and M lines. A family whose absorption edge lies above
// `maxKev` (the excitation) is left out, as are lines whose own subshell is
// not excited and lines the tables do not hold.
ElementLines emissionLines(int z, double maxKev = kDefaultMaxKev);

// The families (K, L, M) the tables give the element an absorption edge
// for, and whether `maxKev` reaches it: a family that is excited and still
// has no line in emissionLines() has none in the tables.
struct FamilyEdge {
  LineFamily family;
  bool excited;
};
std::vector<FamilyEdge> familyEdges(int z, double maxKev);

// The detector's lines for these emission lines: a Si escape peak of the
// strongest line of each family above the Si K edge, and the sum peaks
// 2 x K-alpha1 and K-alpha1 + K-beta1.
std::vector<XrayLine> detectorLines(const std::vector<XrayLine>& emission);

// Fraction of photons of this energy whose Si K-alpha escapes the detector.
double siEscapeFraction(double energyKev);

// The excitation assumed when none is given: the energy of the spectrum's
// last channel (`topKev`), rounded up to 0.1 keV, from 1 to 200 keV. Lines
// beyond the spectrum cannot be seen, and a family whose edge lies above
// it would need an excitation the spectrum was not recorded for.
double excitationForRange(double topKev);

// Every line of every element (and its detector lines), for searching by
// energy; computed once per excitation energy.
const std::vector<XrayLine>& allLines(double maxKev = kDefaultMaxKev);

}  // namespace tolvane
