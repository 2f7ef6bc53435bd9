// tolvane-cli lines, peaks and identify: X-ray lines of elements, the peaks
// of a spectrum file with the elements they point to, and the lines that
// could make the peak at one channel.
#include "cli/cli_lines.h"

#include <QCommandLineParser>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "analysis/calibration_unit.h"
#include "app/session.h"
#include "cli/cli_common.h"
#include "cli/file_session.h"
#include "cli/json_text.h"
#include "files/spectrum_file.h"
#include "lines/pileup_peaks.h"
#include "lines/element_proposal.h"
#include "lines/line_candidates.h"
#include "lines/line_data.h"
#include "lines/spectrum_lines.h"

namespace tolvane::cli {

namespace {

// The ranges the options take.
constexpr double kMaxKevLowest = 0.1, kMaxKevHighest = 200.0;
constexpr double kGainLowest = 0.0001, kGainHighest = 1.0;
constexpr double kOffsetLimit = 100.0;

std::string number(double value, const char* format = "%.6g") {
  if (!std::isfinite(value)) return "null";
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

std::string candidatesJson(const std::vector<LineCandidate>& candidates) {
  std::string out = "[";
  for (size_t i = 0; i < candidates.size(); ++i) {
    const XrayLine& l = candidates[i].line;
    if (i > 0) out += ", ";
    out += "{\"element\": " + jsonText(l.element) + ", \"line\": " + jsonText(l.name) +
           ", \"energy_kev\": " + jsonRounded(l.energyKev, 4) + "}";
  }
  return out + "]";
}

// Why an element has no line to list: which of its shells the limit does
// not excite, and of those it does, that the tables hold no line (Be has
// no line energy there).
std::string noLinesText(int z, double maxKev) {
  char limit[32];
  std::snprintf(limit, sizeof limit, "%g", maxKev);
  const std::string symbol = elementSymbol(z);
  std::vector<std::string> held, notExcited;
  for (const FamilyEdge& edge : familyEdges(z, maxKev))
    (edge.excited ? held : notExcited)
        .push_back(edge.family == LineFamily::K ? "K" : edge.family == LineFamily::L ? "L" : "M");
  // "K", "K or L", "K, L or M"
  const auto join = [](const std::vector<std::string>& letters, const std::string& last) {
    std::string text;
    for (size_t i = 0; i < letters.size(); ++i)
      text += (i == 0 ? "" : i + 1 == letters.size() ? " " + last + " " : ", ") + letters[i];
    return text;
  };
  const std::string excitation = std::string(" excited at ") + limit + " keV (--max-kev)";
  if (held.empty() && notExcited.empty()) return symbol + ": no line listed: the line tables hold none of its lines";
  if (held.empty() && notExcited.size() == 1)
    return symbol + ": no line listed: its " + notExcited.front() + " shell is not" + excitation;
  if (held.empty()) return symbol + ": no line listed: none of its " + join(notExcited, "or") + " shells is" + excitation;
  std::string text = symbol + ": no line listed: the line tables hold no " + join(held, "or") + " line of " + symbol;
  if (notExcited.size() == 1) text += "; its " + notExcited.front() + " shell is not" + excitation;
  if (notExcited.size() > 1) text += "; its " + join(notExcited, "and") + " shells are not" + excitation;
  return text;
}

std::string candidatesText(const std::vector<LineCandidate>& candidates, size_t most) {
  std::string out;
  for (size_t i = 0; i < candidates.size() && i < most; ++i) {
    if (i > 0) out += ", ";
    out += candidates[i].line.element + " " + candidates[i].line.name;
  }
  return out;
}

// A spectrum file with its calibration, or the overriding --gain/--offset.
struct CalibratedFile {
  FileSession file;
  EnergyScale scale;
};

// Reads the file and its energy scale; -1 to go on, else the exit code.
int readCalibrated(const QCommandLineParser& parser, CalibratedFile& f) {
  const auto gain = numberOption(parser, "gain", kGainLowest, kGainHighest, 0.0, "keV per channel");
  if (!gain) return kExitUsage;
  const auto offset = numberOption(parser, "offset", -kOffsetLimit, kOffsetLimit, 0.0, "keV");
  if (!offset) return kExitUsage;
  const std::string path = parser.positionalArguments().front().toStdString();
  Session& s = f.file.session;
  if (!readSpectrum(s, path)) return kExitFailure;
  if (!parser.isSet("gain") && !parser.isSet("offset")) {
    const CalibrationCheck check = lineCalibration(s);
    if (check.error)
      return fail(code::kNoCalibration,
                  std::string(calibrationErrorText(*check.error)) + "; give --gain and --offset (keV)");
    f.scale = check.scale;
    return -1;
  }
  // One of the two given: the other is the file's, in keV.
  const KevCalibration file = calibrationInKev(s.Calibration.Gain, s.Calibration.Offset, s.Acquisition.ChannelCount);
  f.scale = {parser.isSet("gain") ? *gain : file.gainKev, parser.isSet("offset") ? *offset : file.offsetKev};
  if (!f.scale.valid()) return fail(code::kNoCalibration, "the file holds no energy calibration; give --gain (keV)");
  return -1;
}

void addCalibrationOptions(QCommandLineParser& parser) {
  parser.addOption({"gain", "Energy per channel in keV, 0.0001 to 1 (default: the file's calibration).", "keV"});
  parser.addOption({"offset", "Energy of channel 0 in keV, -100 to 100 (default: the file's calibration).", "keV"});
  parser.addOption({"max-kev",
                    "Excitation energy, 0.1 to 200 keV: families above it are left out (default: the energy of the "
                    "spectrum's last channel).",
                    "keV"});
  parser.addOption({"json", "Print one JSON object."});
}

// --max-kev, or the energy of the spectrum's last channel.
double excitationOf(const QCommandLineParser& parser, double given, const CalibratedFile& f) {
  return parser.isSet("max-kev") ? given : excitationForRange(spectrumTopKev(f.file.session, f.scale));
}

}  // namespace

void addLinesOption(QCommandLineParser& parser) {
  parser.addOption({"lines", "Mark the lines of these elements, e.g. \"Fe Mn Cu\".", "elements"});
}

bool applyLinesOption(const QCommandLineParser& parser, Session& s, const char*) {
  if (!parser.isSet("lines")) return true;
  std::vector<std::string> unknown;
  s.Lines.Elements = parser.value("lines").toStdString();
  parseElementList(s.Lines.Elements, &unknown);
  if (!unknown.empty()) {
    fail(code::kUnknownElement, "unknown element '" + unknown.front() + "' in --lines (symbols, or Z from 4 to 95)");
    return false;
  }
  s.Lines.Shown = true;
  if (const CalibrationCheck check = lineCalibration(s); check.error) warn(calibrationErrorText(*check.error));
  return true;
}

int runLines(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "The K, L and M lines of elements (energy, relative intensity in the family),\n"
      "with the Si escape and sum peaks.");
  parser.addPositionalArgument("EL...", "Element symbols or atomic numbers (4 to 95).", "EL...");
  parser.addOption({"max-kev", "Excitation energy, 0.1 to 200 keV: families above it are left out (default 20).",
                    "keV"});
  parser.addOption({"json", "Print one JSON object."});
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  const auto maxKev = numberOption(parser, "max-kev", kMaxKevLowest, kMaxKevHighest, kDefaultMaxKev, "keV");
  if (!maxKev) return kExitUsage;
  if (!expectPositionals(parser, 1, 200, "EL... [--max-kev E] [--json]")) return kExitUsage;
  std::vector<XrayLine> rows;
  std::vector<int> listed;  // "fe Fe 26" name one element: its lines are listed once
  for (const QString& name : parser.positionalArguments()) {
    const auto z = parseElement(name.toStdString());
    if (!z) return fail(code::kUnknownElement, "unknown element '" + name.toStdString() + "' (4 to 95)");
    if (std::find(listed.begin(), listed.end(), *z) != listed.end()) continue;
    listed.push_back(*z);
    const ElementLines e = emissionLines(*z, *maxKev);
    if (e.lines.empty()) warn(noLinesText(*z, *maxKev));
    rows.insert(rows.end(), e.lines.begin(), e.lines.end());
    const std::vector<XrayLine> detector = detectorLines(e.lines);
    rows.insert(rows.end(), detector.begin(), detector.end());
  }
  if (jsonOutput()) {
    std::printf("{\"lines\": [");
    for (size_t i = 0; i < rows.size(); ++i)
      std::printf("%s{\"element\": %s, \"z\": %d, \"line\": %s, \"energy_kev\": %s, \"relative\": %s}",
                  i > 0 ? ", " : "", jsonText(rows[i].element).c_str(), rows[i].z, jsonText(rows[i].name).c_str(),
                  jsonRounded(rows[i].energyKev, 4).c_str(), number(rows[i].relative, "%.4g").c_str());
    std::printf("]}\n");
  } else {
    std::printf("%-3s %3s  %-9s %10s %9s\n", "El", "Z", "Line", "E (keV)", "Relative");
    for (const XrayLine& l : rows)
      std::printf("%-3s %3d  %-*s %10.4f %9.4f\n", l.element.c_str(), l.z,
                  9 + static_cast<int>(l.name.size() - QString::fromStdString(l.name).size()), l.name.c_str(),
                  l.energyKev, l.relative);
  }
  return 0;
}

int runPeaks(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "The peaks of a spectrum file: centroid, energy, net area, FWHM, candidate lines,\n"
      "and the elements they point to.");
  parser.addPositionalArgument("FILE.dat", "Spectrum file (.dat).", "FILE.dat");
  addCalibrationOptions(parser);
  parser.addOption(
      {"threshold", "Significance a peak must reach, 1 to 100 standard deviations (default 4.5; given, also what a lone peak "
       "needs to propose an element, 5 by default).", "sigmas"});
  parser.addOption({"resolving-time",
                    "Pulse-pair resolving time of the pile-up rejector for the expected sum peaks, 0 to 100 µs "
                    "(default 0.5).",
                    "us"});
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  if (!expectPositionals(parser, 1, 1, "FILE.dat [--gain G --offset O] [--json]")) return kExitUsage;
  const auto maxKev = numberOption(parser, "max-kev", kMaxKevLowest, kMaxKevHighest, kDefaultMaxKev, "keV");
  if (!maxKev) return kExitUsage;
  PeakSearchOptions options;
  ProposalOptions proposal;
  const auto threshold = numberOption(parser, "threshold", 1.0, 100.0, options.threshold, "standard deviations");
  if (!threshold) return kExitUsage;
  options.threshold = *threshold;
  const auto resolvingUs = numberOption(parser, "resolving-time", 0.0, 100.0, kDefaultResolvingTimeSeconds * 1e6, "µs");
  if (!resolvingUs) return kExitUsage;
  // An explicit threshold is also the significance a lone peak needs to
  // propose an element.
  if (parser.isSet("threshold")) proposal.loneLineSigmas = *threshold;
  CalibratedFile f;
  if (const int done = readCalibrated(parser, f); done >= 0) return done;
  const Session& s = f.file.session;
  const std::string path = parser.positionalArguments().front().toStdString();
  const SpectrumLinesResult r =
      spectrumPeaks(s, f.scale, excitationOf(parser, *maxKev, f), options, DetectorResolution(), proposal);
  if (r.error) return fail(code::kNoPeak, "the spectrum holds no counts");
  // The sum and escape peaks of the strongest peaks at the file's live time.
  const double liveSeconds = s.Acquisition.LiveTime / 10.0;
  const std::vector<ArtefactPeak> artefacts = artefactPeaks(
      parentPeaks(r.identification), liveSeconds, spectrumTopKev(s, f.scale), *resolvingUs * 1e-6);
  if (jsonOutput()) {
    std::printf("{\"file\": %s, \"peaks\": [", jsonText(path).c_str());
    for (size_t i = 0; i < r.identification.peaks.size(); ++i) {
      const PeakIdentity& p = r.identification.peaks[i];
      std::printf(
          "%s{\"channel\": %s, \"energy_kev\": %s, \"net\": %s, \"net_err\": %s, \"fwhm_kev\": %s, "
          "\"candidates\": %s}",
          i > 0 ? ", " : "", jsonRounded(p.peak.channel, 2).c_str(), jsonRounded(p.peak.energyKev, 4).c_str(),
          jsonRounded(p.peak.net, 1).c_str(), jsonRounded(p.peak.netError, 1).c_str(),
          jsonRounded(p.peak.fwhmKev, 4).c_str(), candidatesJson(p.candidates).c_str());
    }
    std::printf("], \"artefacts\": [");
    for (size_t i = 0; i < artefacts.size(); ++i) {
      const ArtefactPeak& a = artefacts[i];
      std::printf("%s{\"kind\": \"%s\", \"label\": %s, \"energy_kev\": %s, \"expected_counts\": %s}",
                  i > 0 ? ", " : "", a.kind == ArtefactPeak::Kind::Sum ? "sum" : "escape", jsonText(a.label).c_str(),
                  jsonRounded(a.energyKev, 4).c_str(),
                  a.expectedCounts < 0.0 ? "null" : jsonRounded(a.expectedCounts, 1).c_str());
    }
    std::printf("], \"elements\": [");
    for (size_t i = 0; i < r.identification.elements.size(); ++i)
      std::printf("%s%s", i > 0 ? ", " : "", jsonText(elementSymbol(r.identification.elements[i])).c_str());
    std::printf("]}\n");
  } else {
    std::printf("%9s %9s %12s %10s %9s  %s\n", "Channel", "E (keV)", "Net", "Error", "FWHM keV", "Candidates");
    for (const PeakIdentity& p : r.identification.peaks)
      std::printf("%9.2f %9.4f %12.1f %10.1f %9.4f  %s\n", p.peak.channel, p.peak.energyKev, p.peak.net,
                  p.peak.netError, p.peak.fwhmKev, candidatesText(p.candidates, 4).c_str());
    std::string elements;
    for (int z : r.identification.elements) elements += (elements.empty() ? "" : " ") + elementSymbol(z);
    std::printf("Elements: %s\n", elements.empty() ? "none" : elements.c_str());
    if (!artefacts.empty()) {
      std::printf("Sum and escape peaks of the %zu strongest (sum A+B: 2 x %g µs x rate A x rate B x live time; "
                  "escape: Si K-alpha lost, 1.740 keV below):\n",
                  std::min(kArtefactParents, r.identification.peaks.size()), *resolvingUs);
      for (const ArtefactPeak& a : artefacts) {
        if (a.expectedCounts < 0.0)
          std::printf("%9.4f %12s  %s (no live time: size unknown)\n", a.energyKev, "-", a.label.c_str());
        else
          std::printf("%9.4f %12.1f  %s\n", a.energyKev, a.expectedCounts, a.label.c_str());
      }
    }
  }
  return 0;
}

int runIdentify(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription("The lines within one FWHM of a channel's energy, best first.");
  parser.addPositionalArgument("FILE.dat", "Spectrum file (.dat).", "FILE.dat");
  parser.addOption({"cursor", "Channel to identify, 0 to the last channel (required).", "channel"});
  parser.addOption({"fwhm-kev", "Detector FWHM at 5.9 keV, 0.01 to 2 keV (default 0.145).", "keV"});
  addCalibrationOptions(parser);
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  if (!expectPositionals(parser, 1, 1, "FILE.dat --cursor C [--json]")) return kExitUsage;
  const auto maxKev = numberOption(parser, "max-kev", kMaxKevLowest, kMaxKevHighest, kDefaultMaxKev, "keV");
  if (!maxKev) return kExitUsage;
  const auto fwhm = numberOption(parser, "fwhm-kev", 0.01, 2.0, 0.145, "keV");
  if (!fwhm) return kExitUsage;
  if (!parser.isSet("cursor")) return usageError("--cursor is required (a channel of the spectrum)");
  CalibratedFile f;
  if (const int done = readCalibrated(parser, f); done >= 0) return done;
  const int32_t channels = f.file.session.Acquisition.ChannelCount;
  const auto cursor = numberOption(parser, "cursor", 0.0, channels - 1.0, std::nullopt, "");
  if (!cursor) return kExitUsage;
  // The elements the spectrum's peaks propose rank first.
  const DetectorResolution resolution(*fwhm, 5.899);
  const double excitation = excitationOf(parser, *maxKev, f);
  const SpectrumLinesResult peaks = spectrumPeaks(f.file.session, f.scale, excitation, {}, resolution);
  const std::vector<int> present = peaks.error ? std::vector<int>{} : peaks.identification.elements;
  const CursorIdentification id = identifyAtEnergy(f.scale.energy(*cursor), resolution, excitation, present);
  // A sum or escape peak of the spectrum's strongest peaks within one FWHM.
  std::vector<ArtefactPeak> near;
  if (!peaks.error)
    for (const ArtefactPeak& a : artefactPeaks(parentPeaks(peaks.identification),
                                               f.file.session.Acquisition.LiveTime / 10.0,
                                               spectrumTopKev(f.file.session, f.scale)))
      if (std::fabs(a.energyKev - id.energyKev) <= id.fwhmKev) near.push_back(a);
  if (jsonOutput()) {
    std::string artefacts;
    for (const ArtefactPeak& a : near)
      artefacts += std::string(artefacts.empty() ? "" : ", ") + "{\"kind\": \"" +
                   (a.kind == ArtefactPeak::Kind::Sum ? "sum" : "escape") + "\", \"label\": " + jsonText(a.label) +
                   ", \"energy_kev\": " + jsonRounded(a.energyKev, 4) + ", \"expected_counts\": " +
                   (a.expectedCounts < 0.0 ? std::string("null") : jsonRounded(a.expectedCounts, 1)) + "}";
    std::printf("{\"channel\": %s, \"energy_kev\": %s, \"fwhm_kev\": %s, \"candidates\": %s, \"artefacts\": [%s]}\n",
                jsonRounded(*cursor, 2).c_str(), jsonRounded(id.energyKev, 4).c_str(),
                jsonRounded(id.fwhmKev, 4).c_str(), candidatesJson(id.candidates).c_str(), artefacts.c_str());
  } else {
    std::printf("%s\n", identifyText(id).c_str());
    for (const ArtefactPeak& a : near) {
      if (a.expectedCounts < 0.0)
        std::printf("also the %s peak %s at %.3f keV\n", a.kind == ArtefactPeak::Kind::Sum ? "sum" : "escape",
                    a.label.c_str(), a.energyKev);
      else
        std::printf("also the %s peak %s at %.3f keV, %.0f counts expected\n",
                    a.kind == ArtefactPeak::Kind::Sum ? "sum" : "escape", a.label.c_str(), a.energyKev,
                    a.expectedCounts);
    }
  }
  return 0;
}

}  // namespace tolvane::cli
