// tolvane-cli lines, peaks and identify: X-ray lines of elements, the peaks
// of a spectrum file with the elements they point to, and the lines that
// could make the peak at one channel.
#include "cli/cli_lines.h"

#include <QCommandLineParser>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "app/session.h"
#include "cli/cli_common.h"
#include "cli/file_session.h"
#include "files/spectrum_file.h"
#include "lines/element_proposal.h"
#include "lines/line_candidates.h"
#include "lines/line_data.h"
#include "lines/spectrum_lines.h"

namespace tolvane::cli {

namespace {


std::string jsonText(const std::string& text) {
  std::string out = "\"";
  for (const char ch : text) {
    if (ch == '"' || ch == '\\') {
      out += '\\';
      out += ch;
    } else if (static_cast<unsigned char>(ch) < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", ch);
      out += buffer;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

std::string number(double value, const char* format = "%.6g") {
  if (!std::isfinite(value)) return "null";
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

// One failure: a line on stderr, and with --json the error object on stdout.
int fail(const char* command, bool json, const char* code, const std::string& message, int exitCode = 1) {
  std::fprintf(stderr, "tolvane-cli: %s: %s\n", command, message.c_str());
  if (json) std::printf("{\"error\": %s, \"code\": %s}\n", jsonText(message).c_str(), jsonText(code).c_str());
  return exitCode;
}

// Parses the command's own arguments; returns -1 to go on, else the exit code.
int parse(QCommandLineParser& parser, const QStringList& arguments, const char* command) {
  parser.addHelpOption();
  QStringList own = arguments;
  if (own.size() > 1) own.removeAt(1);
  const bool json = own.contains("--json");
  if (!parser.parse(own)) return fail(command, json, "usage", parser.errorText().toStdString(), kExitUsage);
  if (parser.isSet("help")) {
    QString help = parser.helpText();
    help.replace(QCoreApplication::applicationName() + " [options]",
                 QCoreApplication::applicationName() + " " + command + " [options]");
    std::fputs(help.toLocal8Bit().constData(), stdout);
    return 0;
  }
  return -1;
}

bool positiveNumber(const QCommandLineParser& parser, const char* name, double& value) {
  if (!parser.isSet(name)) return true;
  bool ok = false;
  value = parser.value(name).toDouble(&ok);
  return ok && std::isfinite(value) && value > 0.0;
}

std::string candidatesJson(const std::vector<LineCandidate>& candidates) {
  std::string out = "[";
  for (size_t i = 0; i < candidates.size(); ++i) {
    const XrayLine& l = candidates[i].line;
    if (i > 0) out += ", ";
    out += "{\"element\": " + jsonText(l.element) + ", \"line\": " + jsonText(l.name) +
           ", \"energy_kev\": " + number(l.energyKev, "%.4f") + "}";
  }
  return out + "]";
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

int readCalibrated(const QCommandLineParser& parser, const char* command, bool json, CalibratedFile& f) {
  if (parser.positionalArguments().size() != 1)
    return fail(command, json, "usage", "give one spectrum file", kExitUsage);
  const std::string path = parser.positionalArguments().front().toStdString();
  Session& s = f.file.session;
  s.Texts.Edit1.clear();
  if (!ReadSpectrumFile(s, path)) return fail(command, json, "unreadable", "cannot open " + path);
  if (!s.Texts.Edit1.empty()) return fail(command, json, "unreadable", path + " is not a readable spectrum");
  double gain = s.Calibration.Gain, offset = s.Calibration.Offset;
  if (parser.isSet("gain")) {
    bool ok = false;
    gain = parser.value("gain").toDouble(&ok);
    if (!ok || !std::isfinite(gain) || gain <= 0.0)
      return fail(command, json, "usage", "--gain must be a positive number of keV per channel", kExitUsage);
  }
  if (parser.isSet("offset")) {
    bool ok = false;
    offset = parser.value("offset").toDouble(&ok);
    if (!ok || !std::isfinite(offset))
      return fail(command, json, "usage", "--offset must be a number in keV", kExitUsage);
  }
  if (!parser.isSet("gain") && !parser.isSet("offset")) {
    const CalibrationCheck check = lineCalibration(s);
    if (check.error)
      return fail(command, json, "no_calibration",
                  std::string(calibrationErrorText(*check.error)) + "; give --gain and --offset (keV)");
    f.scale = check.scale;
    return -1;
  }
  f.scale = {gain, offset};
  if (!f.scale.valid()) return fail(command, json, "no_calibration", "the file holds no energy calibration");
  return -1;
}

void addCalibrationOptions(QCommandLineParser& parser) {
  parser.addOption({"gain", "Energy per channel in keV (default: the file's calibration).", "keV"});
  parser.addOption({"offset", "Energy of channel 0 in keV (default: the file's calibration).", "keV"});
  parser.addOption({"max-kev", "Excitation energy: families above it are left out (default 20).", "keV", "20"});
  parser.addOption({"json", "Print one JSON object."});
}

}  // namespace

void addLinesOption(QCommandLineParser& parser) {
  parser.addOption({"lines", "Mark the lines of these elements, e.g. \"Fe Mn Cu\".", "elements"});
}

bool applyLinesOption(const QCommandLineParser& parser, Session& s, const char* command) {
  if (!parser.isSet("lines")) return true;
  std::vector<std::string> unknown;
  s.Lines.Elements = parser.value("lines").toStdString();
  parseElementList(s.Lines.Elements, &unknown);
  if (!unknown.empty()) {
    fail(command, false, "unknown_element", "unknown element '" + unknown.front() + "' in --lines");
    return false;
  }
  s.Lines.Shown = true;
  if (const CalibrationCheck check = lineCalibration(s); check.error)
    std::fprintf(stderr, "tolvane-cli: %s: %s\n", command, calibrationErrorText(*check.error));
  return true;
}

int runLines(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "The K, L and M lines of elements (energy, relative intensity in the family),\n"
      "with the Si escape and sum peaks.");
  parser.addPositionalArgument("EL", "Element symbols or atomic numbers (4 to 95).", "EL...");
  parser.addOption({"max-kev", "Excitation energy: families above it are left out (default 20).", "keV", "20"});
  parser.addOption({"json", "Print one JSON object."});
  if (const int done = parse(parser, arguments, "lines"); done >= 0) return done;
  const bool json = parser.isSet("json");
  double maxKev = kDefaultMaxKev;
  if (!positiveNumber(parser, "max-kev", maxKev))
    return fail("lines", json, "usage", "--max-kev must be a positive number of keV", kExitUsage);
  if (parser.positionalArguments().isEmpty())
    return fail("lines", json, "usage", "name at least one element", kExitUsage);
  std::vector<XrayLine> rows;
  for (const QString& name : parser.positionalArguments()) {
    const auto z = parseElement(name.toStdString());
    if (!z) return fail("lines", json, "unknown_element", "unknown element '" + name.toStdString() + "' (4 to 95)");
    const ElementLines e = emissionLines(*z, maxKev);
    rows.insert(rows.end(), e.lines.begin(), e.lines.end());
    const std::vector<XrayLine> detector = detectorLines(e.lines);
    rows.insert(rows.end(), detector.begin(), detector.end());
  }
  if (json) {
    std::printf("{\"lines\": [");
    for (size_t i = 0; i < rows.size(); ++i)
      std::printf("%s{\"element\": %s, \"z\": %d, \"line\": %s, \"energy_kev\": %s, \"relative\": %s}",
                  i > 0 ? ", " : "", jsonText(rows[i].element).c_str(), rows[i].z, jsonText(rows[i].name).c_str(),
                  number(rows[i].energyKev, "%.4f").c_str(), number(rows[i].relative, "%.4g").c_str());
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
  parser.addPositionalArgument("file", "Spectrum file (.dat).", "FILE.dat");
  addCalibrationOptions(parser);
  parser.addOption(
      {"threshold", "Significance a peak must reach, in standard deviations (default 4.5).", "sigmas", "4.5"});
  if (const int done = parse(parser, arguments, "peaks"); done >= 0) return done;
  const bool json = parser.isSet("json");
  double maxKev = kDefaultMaxKev;
  PeakSearchOptions options;
  if (!positiveNumber(parser, "max-kev", maxKev))
    return fail("peaks", json, "usage", "--max-kev must be a positive number of keV", kExitUsage);
  if (!positiveNumber(parser, "threshold", options.threshold))
    return fail("peaks", json, "usage", "--threshold must be a positive number", kExitUsage);
  CalibratedFile f;
  if (const int done = readCalibrated(parser, "peaks", json, f); done >= 0) return done;
  const Session& s = f.file.session;
  const std::string path = parser.positionalArguments().front().toStdString();
  const SpectrumLinesResult r = spectrumPeaks(s, f.scale, maxKev, options);
  if (r.error) return fail("peaks", json, "empty_spectrum", "the spectrum holds no counts");
  if (json) {
    std::printf("{\"file\": %s, \"peaks\": [", jsonText(path).c_str());
    for (size_t i = 0; i < r.identification.peaks.size(); ++i) {
      const PeakIdentity& p = r.identification.peaks[i];
      std::printf(
          "%s{\"channel\": %s, \"energy_kev\": %s, \"net\": %s, \"net_err\": %s, \"fwhm_kev\": %s, "
          "\"candidates\": %s}",
          i > 0 ? ", " : "", number(p.peak.channel, "%.2f").c_str(), number(p.peak.energyKev, "%.4f").c_str(),
          number(p.peak.net, "%.1f").c_str(), number(p.peak.netError, "%.1f").c_str(),
          number(p.peak.fwhmKev, "%.4f").c_str(), candidatesJson(p.candidates).c_str());
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
  }
  return 0;
}

int runIdentify(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription("The lines within one FWHM of a channel's energy, best first.");
  parser.addPositionalArgument("file", "Spectrum file (.dat).", "FILE.dat");
  parser.addOption({"cursor", "Channel to identify.", "channel"});
  parser.addOption({"fwhm-kev", "Detector FWHM at 5.9 keV in keV (default 0.145).", "keV"});
  addCalibrationOptions(parser);
  if (const int done = parse(parser, arguments, "identify"); done >= 0) return done;
  const bool json = parser.isSet("json");
  double maxKev = kDefaultMaxKev, fwhm = 0.145;
  if (!positiveNumber(parser, "max-kev", maxKev))
    return fail("identify", json, "usage", "--max-kev must be a positive number of keV", kExitUsage);
  if (!positiveNumber(parser, "fwhm-kev", fwhm))
    return fail("identify", json, "usage", "--fwhm-kev must be a positive number of keV", kExitUsage);
  if (!parser.isSet("cursor")) return fail("identify", json, "usage", "--cursor is required", kExitUsage);
  CalibratedFile f;
  if (const int done = readCalibrated(parser, "identify", json, f); done >= 0) return done;
  bool ok = false;
  const double cursor = parser.value("cursor").toDouble(&ok);
  const int32_t channels = f.file.session.Acquisition.ChannelCount;
  if (!ok || !(cursor >= 0.0) || cursor > channels - 1)
    return fail("identify", json, "usage", "--cursor must be a channel from 0 to " + std::to_string(channels - 1),
                kExitUsage);
  const CursorIdentification id = identifyAtEnergy(f.scale.energy(cursor), DetectorResolution(fwhm, 5.899), maxKev, {});
  if (json) {
    std::printf("{\"channel\": %s, \"energy_kev\": %s, \"fwhm_kev\": %s, \"candidates\": %s}\n",
                number(cursor, "%.2f").c_str(), number(id.energyKev, "%.4f").c_str(),
                number(id.fwhmKev, "%.4f").c_str(), candidatesJson(id.candidates).c_str());
  } else {
    std::printf("%s\n", identifyText(id).c_str());
  }
  return 0;
}

}  // namespace tolvane::cli
