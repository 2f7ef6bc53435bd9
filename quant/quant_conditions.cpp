#include "quant/quant_conditions.h"

#include <charconv>
#include <cmath>
#include <sstream>
#include <vector>

#include "lines/line_data.h"

namespace tolvane {

namespace {

std::optional<double> number(const std::string& text) {
  double value = 0.0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::vector<std::string> words(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line.substr(0, line.find('#')));
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> out;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) out.push_back(part);
  return out;
}

bool inRange(std::optional<double> v, double lo, double hi) { return v && *v >= lo && *v <= hi; }

}  // namespace

ExcitationBeam QuantConditions::beam() const {
  if (userBeam) return *userBeam;
  if (tube) return ebelTubeBeam(*tube);
  return radionuclideBeam(source.value_or(Radionuclide::Fe55));
}

std::optional<TubeSettings> parseTube(const std::string& text) {
  const auto parts = split(text, ':');
  if (parts.size() < 2 || parts.size() > 3) return std::nullopt;
  const auto anode = parseElement(parts[0]);
  const auto kv = number(parts[1]);
  if (!anode || !inRange(kv, 4.0, 100.0)) return std::nullopt;
  TubeSettings tube;
  tube.anodeZ = *anode;
  tube.kilovolts = *kv;
  if (parts.size() == 3) {
    const auto window = number(parts[2]);
    if (!inRange(window, 0.0, 5000.0)) return std::nullopt;
    tube.windowUm = *window;
  }
  return tube;
}

ConditionsRead readQuantConditions(std::istream& in) {
  QuantConditions c;
  int lineNumber = 0;
  auto failure = [&](const std::string& why) { return ConditionsRead{std::nullopt, lineNumber, why}; };
  for (std::string line; std::getline(in, line);) {
    ++lineNumber;
    const auto w = words(line);
    if (w.empty()) continue;
    const std::string& key = w[0];
    if (key == "source" && w.size() == 2) {
      c.source = radionuclideFromName(w[1]);
      if (!c.source) return failure("unknown source '" + w[1] + "' (fe55, cd109 or am241)");
      c.tube.reset();
    } else if (key == "tube" && (w.size() == 3 || w.size() == 4)) {
      const TubeSettings angles = c.tube.value_or(TubeSettings{});
      c.tube = parseTube(w[1] + ":" + w[2] + (w.size() == 4 ? ":" + w[3] : ""));
      if (!c.tube) return failure("tube needs an anode, kV (4-100) and a window in um");
      c.tube->electronAngleDeg = angles.electronAngleDeg;
      c.tube->takeoffAngleDeg = angles.takeoffAngleDeg;
    } else if ((key == "angles" || key == "tube_angles") && w.size() == 3) {
      const auto a = number(w[1]), b = number(w[2]);
      if (!inRange(a, 1.0, 90.0) || !inRange(b, 1.0, 90.0)) return failure(key + " are two angles of 1 to 90 degrees");
      if (key == "angles") {
        c.geometry = {*a, *b};
      } else {
        if (!c.tube) c.tube = TubeSettings{};
        c.tube->electronAngleDeg = *a;
        c.tube->takeoffAngleDeg = *b;
      }
    } else if (key == "balance" && w.size() == 2) {
      c.balance = w[1];
    } else if (key == "line" && w.size() == 2) {
      const auto group = lineGroupFromName(w[1]);
      if (!group) return failure("unknown line '" + w[1] + "' (Ka, Kb or La)");
      c.line = *group;
    } else if (key == "sample_ua" && w.size() == 2) {
      const auto ua = number(w[1]);
      if (!inRange(ua, 0.0, 1e6)) return failure("sample_ua is a current in uA");
      c.sampleCurrentUa = *ua;
    } else if (key == "standard" && (w.size() == 3 || w.size() == 4)) {
      const auto z = parseElement(w[1]);
      if (!z) return failure("unknown element '" + w[1] + "'");
      StandardConditions s{w[2], 0.0};
      if (w.size() == 4) {
        const auto ua = number(w[3]);
        if (!inRange(ua, 0.0, 1e6)) return failure("a standard's current is in uA");
        s.currentUa = *ua;
      }
      c.standards[*z] = s;
    } else {
      return failure("not understood: " + line);
    }
  }
  return {c, 0, {}};
}

void writeQuantConditions(std::ostream& out, const QuantConditions& c) {
  out << "# excitation, geometry and standards of the table beside this file\n";
  if (c.tube) {
    out << "tube " << elementSymbol(c.tube->anodeZ) << ' ' << c.tube->kilovolts << ' ' << c.tube->windowUm << '\n';
    out << "tube_angles " << c.tube->electronAngleDeg << ' ' << c.tube->takeoffAngleDeg << '\n';
  } else {
    out << "source " << radionuclideName(c.source.value_or(Radionuclide::Fe55)) << '\n';
  }
  out << "angles " << c.geometry.incidenceDeg << ' ' << c.geometry.takeoffDeg << '\n';
  out << "balance " << c.balance << '\n';
  out << "line " << lineGroupName(c.line) << '\n';
  if (c.sampleCurrentUa > 0.0) out << "sample_ua " << c.sampleCurrentUa << '\n';
  for (const auto& [z, s] : c.standards) {
    out << "standard " << elementSymbol(z) << ' ' << (s.formula.empty() ? elementSymbol(z) : s.formula);
    if (s.currentUa > 0.0) out << ' ' << s.currentUa;
    out << '\n';
  }
}

std::string conditionsPathFor(const std::string& tablePath) {
  const size_t slash = tablePath.find_last_of("/\\");
  const size_t dot = tablePath.find_last_of('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExtension ? tablePath.substr(0, dot) : tablePath) + ".quant";
}

}  // namespace tolvane
