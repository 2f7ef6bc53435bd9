#include "lines/calibration_lines.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "lines/line_data.h"

namespace tolvane {

namespace {

// Excitation assumed when naming a line: high enough for every family the
// tables hold, so no named line is left out for want of it.
constexpr double kNamingExcitationKev = 150.0;

std::string trimmed(const std::string& text) {
  size_t b = 0, e = text.size();
  while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
  return text.substr(b, e - b);
}

// "ka", "KA", "Kα", "kb1", "Ll" -> "Kα", "Kα", "Kα", "Kβ1", "Ll".
std::optional<std::string> lineName(const std::string& word) {
  if (word.empty()) return std::nullopt;
  const char family = static_cast<char>(std::toupper(static_cast<unsigned char>(word[0])));
  if (family != 'K' && family != 'L' && family != 'M') return std::nullopt;
  std::string out(1, family);
  std::string rest = word.substr(1);
  if (rest.empty()) return std::nullopt;
  const char first = static_cast<char>(std::tolower(static_cast<unsigned char>(rest[0])));
  const struct {
    char latin;
    const char* greek;
  } letters[] = {{'a', "α"}, {'b', "β"}, {'g', "γ"}, {'z', "ζ"}, {'e', "η"}};
  bool greek = false;
  for (const auto& l : letters) {
    if (first == l.latin) {
      out += l.greek;
      rest = rest.substr(1);
      greek = true;
      break;
    }
    const size_t size = std::char_traits<char>::length(l.greek);
    if (rest.compare(0, size, l.greek) == 0) {
      out += l.greek;
      rest = rest.substr(size);
      greek = true;
      break;
    }
  }
  if (!greek) {
    if (family == 'L' && first == 'l') {
      out += "l";
      rest = rest.substr(1);
    } else {
      return std::nullopt;
    }
  }
  for (const char c : rest)
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
  return out + rest;
}

// The energy of a line or group of the element's lines; nothing when the
// element has no such line.
std::optional<double> knownEnergy(const std::vector<XrayLine>& lines, const std::string& name,
                                  const DetectorResolution& resolution) {
  for (const XrayLine& line : lines)
    if (line.name == name) return line.energyKev;
  const XrayLine* strongest = nullptr;
  for (const XrayLine& line : lines)
    if (line.group == name && (strongest == nullptr || line.relative > strongest->relative)) strongest = &line;
  if (strongest == nullptr) return std::nullopt;
  const double merge = 0.5 * resolution.fwhmKev(strongest->energyKev);
  double weight = 0.0, sum = 0.0;
  for (const XrayLine& line : lines) {
    if (line.group != name || std::fabs(line.energyKev - strongest->energyKev) > merge) continue;
    weight += line.relative;
    sum += line.relative * line.energyKev;
  }
  return weight > 0.0 ? sum / weight : strongest->energyKev;
}

}  // namespace

KnownLineList parseKnownLines(const std::string& text, const DetectorResolution& resolution) {
  KnownLineList out;
  std::string item;
  const auto take = [&]() -> bool {
    const std::string t = trimmed(item);
    item.clear();
    if (t.empty()) return true;
    const size_t space = t.find_first_of(" \t");
    if (space == std::string::npos) {
      out.error = "'" + t + "' names no line: give an element and a line, as in \"Mn Ka\"";
      return false;
    }
    const std::string elementWord = t.substr(0, space);
    const std::string lineWord = trimmed(t.substr(space + 1));
    const auto z = parseElement(elementWord);
    if (!z) {
      out.error = "'" + t + "': '" + elementWord + "' is no element";
      return false;
    }
    const auto name = lineName(lineWord);
    if (!name) {
      out.error = "'" + t + "': '" + lineWord + "' is no line name (Ka, Kb, La, Lb, Ma, or one line as Ka1)";
      return false;
    }
    const ElementLines element = emissionLines(*z, kNamingExcitationKev);
    const auto energy = knownEnergy(element.lines, *name, resolution);
    if (!energy) {
      out.error = "'" + t + "': " + elementSymbol(*z) + " has no " + *name + " line in the tables";
      return false;
    }
    out.lines.push_back({elementSymbol(*z) + " " + *name, *z, *energy});
    return true;
  };
  for (const char c : text) {
    if (c == ',' || c == ';') {
      if (!take()) return out;
    } else {
      item += c;
    }
  }
  take();
  return out;
}

namespace {

// The peak for each line: on the first pass the largest within `window`
// of the expected energy, on the second the nearest.
void matchPeaks(std::vector<LineCentroid>& centroids, const std::vector<FoundPeak>& peaks, const EnergyScale& scale,
                const DetectorResolution& resolution, bool firstPass) {
  for (LineCentroid& c : centroids) {
    const double fwhm = resolution.fwhmKev(c.line.energyKev);
    const double window = firstPass ? std::max(kFirstPassWindowKev, 2.0 * fwhm) : fwhm;
    const FoundPeak* best = nullptr;
    for (const FoundPeak& p : peaks) {
      const double off = std::fabs(scale.energy(p.channel) - c.line.energyKev);
      if (off > window) continue;
      if (best == nullptr) {
        best = &p;
      } else if (firstPass ? p.net > best->net
                           : off < std::fabs(scale.energy(best->channel) - c.line.energyKev)) {
        best = &p;
      }
    }
    c.found = best != nullptr;
    c.channel = best ? best->channel : 0.0;
    c.net = best ? best->net : 0.0;
  }
}

CalibrationFit fitFound(const std::vector<LineCentroid>& centroids, bool quadratic) {
  std::vector<CalibrationPoint> points;
  for (const LineCentroid& c : centroids)
    if (c.found) points.push_back({c.channel, c.line.energyKev, c.line.label});
  return fitCalibration(points, quadratic, 1000.0);
}

}  // namespace

LinesCalibration calibrateFromLines(const int32_t* counts, int32_t size, const EnergyScale& start,
                                    const std::vector<KnownLine>& lines, bool quadratic,
                                    const DetectorResolution& resolution) {
  LinesCalibration r;
  for (const KnownLine& line : lines) r.centroids.push_back({line});
  if (!start.valid()) {
    r.outcome = LinesCalibration::Outcome::NoStartingCalibration;
    return r;
  }
  const PeakSearchResult search = searchPeaks(counts, size, start, resolution);
  if (search.error) {
    r.outcome = search.error == PeakSearchError::NoCalibration ? LinesCalibration::Outcome::NoStartingCalibration
                                                                : LinesCalibration::Outcome::EmptySpectrum;
    return r;
  }
  matchPeaks(r.centroids, search.peaks, start, resolution, true);
  r.fit = fitFound(r.centroids, quadratic);
  if (r.fit.outcome == CalibrationFit::Outcome::Fitted) {
    const EnergyScale refined{r.fit.gain, r.fit.offset, r.fit.quadratic};
    if (refined.valid()) {
      matchPeaks(r.centroids, search.peaks, refined, resolution, false);
      r.fit = fitFound(r.centroids, quadratic);
    }
  }
  if (r.fit.outcome != CalibrationFit::Outcome::Fitted) r.outcome = LinesCalibration::Outcome::TooFewFound;
  return r;
}

const char* linesCalibrationOutcomeText(LinesCalibration::Outcome outcome) {
  switch (outcome) {
    case LinesCalibration::Outcome::Fitted:
      return "fitted";
    case LinesCalibration::Outcome::NoStartingCalibration:
      return "no starting calibration to say where the lines fall: calibrate with two points first, or give one";
    case LinesCalibration::Outcome::EmptySpectrum:
      return "the spectrum holds no counts";
    case LinesCalibration::Outcome::TooFewFound:
      return "too few of the lines were found as peaks (a line needs 2, a quadratic 3, at distinct channels)";
  }
  return "";
}

}  // namespace tolvane
