#include "lines/line_data.h"

#include <xraylib.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <map>
#include <mutex>

namespace tolvane {

namespace {

struct LineDefinition {
  int code;  // xraylib line macro
  LineFamily family;
  const char* name;
  const char* group;
};

// The lines a spectroscopist looks for, in Siegbahn names: those that
// reach a few percent of their family somewhere in the periodic table.
constexpr LineDefinition kLines[] = {
    {KL3_LINE, LineFamily::K, "Kα1", "Kα"},  {KL2_LINE, LineFamily::K, "Kα2", "Kα"},
    {KM3_LINE, LineFamily::K, "Kβ1", "Kβ"},  {KM2_LINE, LineFamily::K, "Kβ3", "Kβ"},
    {KN3_LINE, LineFamily::K, "Kβ2", "Kβ"},  {L3M5_LINE, LineFamily::L, "Lα1", "Lα"},
    {L3M4_LINE, LineFamily::L, "Lα2", "Lα"}, {L2M4_LINE, LineFamily::L, "Lβ1", "Lβ"},
    {L3N5_LINE, LineFamily::L, "Lβ2", "Lβ"}, {L1M3_LINE, LineFamily::L, "Lβ3", "Lβ"},
    {L1M2_LINE, LineFamily::L, "Lβ4", "Lβ"}, {L2N4_LINE, LineFamily::L, "Lγ1", "Lγ"},
    {L3M1_LINE, LineFamily::L, "Ll", "Ll"},  {L2M1_LINE, LineFamily::L, "Lη", "Lη"},
    {L1N2_LINE, LineFamily::L, "Lγ2", "Lγ"}, {L1N3_LINE, LineFamily::L, "Lγ3", "Lγ"},
    {L2O4_LINE, LineFamily::L, "Lγ6", "Lγ"}, {L3O45_LINE, LineFamily::L, "Lβ5", "Lβ"},
    {L3N1_LINE, LineFamily::L, "Lβ6", "Lβ"}, {M5N7_LINE, LineFamily::M, "Mα1", "Mα"},
    {M5N6_LINE, LineFamily::M, "Mα2", "Mα"}, {M4N6_LINE, LineFamily::M, "Mβ", "Mβ"},
    {M3N5_LINE, LineFamily::M, "Mγ", "Mγ"},  {M5N3_LINE, LineFamily::M, "Mζ1", "Mζ"},
    {M4N2_LINE, LineFamily::M, "Mζ2", "Mζ"},
};

// The lowest edge of each family: below it nothing of the family is excited.
int familyEdge(LineFamily family) {
  switch (family) {
    case LineFamily::K:
      return K_SHELL;
    case LineFamily::L:
      return L3_SHELL;
    case LineFamily::M:
      return M5_SHELL;
  }
  return K_SHELL;
}

// One call into the library with its error caught: nothing when it failed.
template <typename Call>
std::optional<double> checked(Call call) {
  xrl_error* error = nullptr;
  const double value = call(&error);
  if (error != nullptr) {
    xrl_error_free(error);
    return std::nullopt;
  }
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

const char* const kSymbols[] = {"",   "H",  "He", "Li", "Be", "B",  "C",  "N",  "O",  "F",  "Ne", "Na", "Mg", "Al",
                                "Si", "P",  "S",  "Cl", "Ar", "K",  "Ca", "Sc", "Ti", "V",  "Cr", "Mn", "Fe", "Co",
                                "Ni", "Cu", "Zn", "Ga", "Ge", "As", "Se", "Br", "Kr", "Rb", "Sr", "Y",  "Zr", "Nb",
                                "Mo", "Tc", "Ru", "Rh", "Pd", "Ag", "Cd", "In", "Sn", "Sb", "Te", "I",  "Xe", "Cs",
                                "Ba", "La", "Ce", "Pr", "Nd", "Pm", "Sm", "Eu", "Gd", "Tb", "Dy", "Ho", "Er", "Tm",
                                "Yb", "Lu", "Hf", "Ta", "W",  "Re", "Os", "Ir", "Pt", "Au", "Hg", "Tl", "Pb", "Bi",
                                "Po", "At", "Rn", "Fr", "Ra", "Ac", "Th", "Pa", "U",  "Np", "Pu", "Am"};

}  // namespace

std::optional<int> parseElement(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  if (std::isdigit(static_cast<unsigned char>(text.front()))) {
    int z = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), z);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (z < kFirstElement || z > kLastElement) return std::nullopt;
    return z;
  }
  if (text.size() > 2) return std::nullopt;
  std::string symbol(text);
  symbol[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(symbol[0])));
  if (symbol.size() == 2) symbol[1] = static_cast<char>(std::tolower(static_cast<unsigned char>(symbol[1])));
  for (int z = kFirstElement; z <= kLastElement; ++z)
    if (symbol == kSymbols[z]) return z;
  return std::nullopt;
}

std::vector<FamilyEdge> familyEdges(int z, double maxKev) {
  std::vector<FamilyEdge> edges;
  if (z < kFirstElement || z > kLastElement) return edges;
  for (LineFamily family : {LineFamily::K, LineFamily::L, LineFamily::M}) {
    const auto edge = checked([&](xrl_error** e) { return EdgeEnergy(z, familyEdge(family), e); });
    if (edge && *edge > 0.0) edges.push_back({family, *edge <= maxKev});
  }
  return edges;
}

std::string elementSymbol(int z) { return z >= 1 && z <= kLastElement ? kSymbols[z] : ""; }

ElementLines emissionLines(int z, double maxKev) {
  ElementLines result;
  if (z < kFirstElement || z > kLastElement) {
    result.error = LinesError::ElementOutOfRange;
    return result;
  }
  for (LineFamily family : {LineFamily::K, LineFamily::L, LineFamily::M}) {
    const auto edge = checked([&](xrl_error** e) { return EdgeEnergy(z, familyEdge(family), e); });
    if (!edge || *edge <= 0.0 || *edge > maxKev) continue;
    // Production at the excitation energy, a little above the edge when
    // the limit sits on it, so the cross section is defined.
    const double excitation = std::max(maxKev, *edge * 1.0001);
    std::vector<XrayLine> family_lines;
    for (const LineDefinition& def : kLines) {
      if (def.family != family) continue;
      const auto energy = checked([&](xrl_error** e) { return LineEnergy(z, def.code, e); });
      if (!energy || *energy <= 0.0) continue;
      const auto production =
          checked([&](xrl_error** e) { return CS_FluorLine_Kissel_Cascade(z, def.code, excitation, e); });
      if (!production || *production <= 0.0) continue;
      XrayLine line;
      line.z = z;
      line.element = kSymbols[z];
      line.name = def.name;
      line.group = def.group;
      line.family = family;
      line.energyKev = *energy;
      line.production = *production;
      family_lines.push_back(std::move(line));
    }
    if (family_lines.empty()) continue;
    double strongest = 0.0;
    for (const XrayLine& line : family_lines) strongest = std::max(strongest, line.production);
    for (XrayLine& line : family_lines) line.relative = line.production / strongest;
    std::stable_sort(family_lines.begin(), family_lines.end(),
                     [](const XrayLine& a, const XrayLine& b) { return a.relative > b.relative; });
    result.lines.insert(result.lines.end(), family_lines.begin(), family_lines.end());
  }
  if (result.lines.empty()) result.error = LinesError::NoLines;
  return result;
}

double siEscapeFraction(double energyKev) {
  if (energyKev <= kSiKEdgeKev) return 0.0;
  constexpr int kSi = 14;
  const auto yield = checked([](xrl_error** e) { return FluorYield(kSi, K_SHELL, e); });
  const auto jump = checked([](xrl_error** e) { return JumpFactor(kSi, K_SHELL, e); });
  const auto muIn = checked([&](xrl_error** e) { return CS_Total(kSi, energyKev, e); });
  const auto muOut = checked([](xrl_error** e) { return CS_Total(kSi, kSiEscapeKev, e); });
  if (!yield || !jump || !muIn || !muOut || *jump <= 1.0 || *muIn <= 0.0 || *muOut <= 0.0) return 0.0;
  // Photons absorbed near the front face of a thick detector: half the
  // Si K-alpha photons head back out and escape unless absorbed on the way.
  const double ratio = *muOut / *muIn;
  const double fraction = 0.5 * *yield * (1.0 - 1.0 / *jump) * (1.0 - ratio * std::log1p(1.0 / ratio));
  return std::max(fraction, 0.0);
}

std::vector<XrayLine> detectorLines(const std::vector<XrayLine>& emission) {
  // Pile-up depends on the count rate; a nominal small height keeps the
  // sum markers visible without claiming a size.
  constexpr double kSumYield = 0.01;
  std::vector<XrayLine> out;
  const XrayLine* kAlpha = nullptr;
  const XrayLine* kBeta = nullptr;
  for (const XrayLine& line : emission) {
    if (line.kind != LineKind::Emission) continue;
    if (line.name == "Kα1") kAlpha = &line;
    if (line.name == "Kβ1") kBeta = &line;
    const bool strongest = line.relative >= 1.0;
    if (!strongest || line.energyKev <= kSiKEdgeKev) continue;
    XrayLine escape = line;
    escape.kind = LineKind::Escape;
    escape.name = line.name + " esc";
    escape.group = line.group + " esc";
    escape.energyKev = line.energyKev - kSiEscapeKev;
    const double fraction = siEscapeFraction(line.energyKev);
    escape.relative = line.relative * fraction;
    escape.production = line.production * fraction;
    out.push_back(std::move(escape));
  }
  const auto sum = [&](const XrayLine& a, const XrayLine& b, const std::string& group) {
    XrayLine line = a;
    line.kind = LineKind::Sum;
    line.name = group;
    line.group = group;
    line.energyKev = a.energyKev + b.energyKev;
    line.relative = kSumYield * a.relative * b.relative;
    line.production = kSumYield * a.production * b.relative;
    out.push_back(std::move(line));
  };
  if (kAlpha != nullptr) sum(*kAlpha, *kAlpha, "2Kα");
  if (kAlpha != nullptr && kBeta != nullptr) sum(*kAlpha, *kBeta, "Kα+Kβ");
  return out;
}

double excitationForRange(double topKev) {
  if (!std::isfinite(topKev)) return kDefaultMaxKev;
  // Rounded up to 0.1 keV so spectra of one calibration share a line table.
  return std::clamp(std::ceil(topKev * 10.0 - 1e-9) / 10.0, 1.0, 200.0);
}

const std::vector<XrayLine>& allLines(double maxKev) {
  static std::mutex mutex;
  static std::map<double, std::vector<XrayLine>> cache;
  const std::lock_guard lock(mutex);
  auto it = cache.find(maxKev);
  if (it != cache.end()) return it->second;
  std::vector<XrayLine> lines;
  for (int z = kFirstElement; z <= kLastElement; ++z) {
    const ElementLines element = emissionLines(z, maxKev);
    lines.insert(lines.end(), element.lines.begin(), element.lines.end());
    const std::vector<XrayLine> detector = detectorLines(element.lines);
    lines.insert(lines.end(), detector.begin(), detector.end());
  }
  return cache.emplace(maxKev, std::move(lines)).first->second;
}

}  // namespace tolvane
