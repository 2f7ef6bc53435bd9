#include "cli/cli_calib_lines.h"

#include <QCommandLineParser>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/calibration_fit.h"
#include "analysis/calibration_unit.h"
#include "cli/calibration_into_file.h"
#include "cli/cli_common.h"
#include "cli/cli_error.h"
#include "cli/file_session.h"
#include "cli/json_text.h"
#include "lines/calibration_lines.h"
#include "lines/spectrum_lines.h"
#include "records/text_number.h"

namespace tolvane::cli {

namespace {

// "ch:E,ch:E,..." (or separated by blanks or semicolons) into points; the
// first item that is not two numbers is named.
std::optional<std::vector<CalibrationPoint>> parsePoints(const std::string& text, std::string& error) {
  std::vector<CalibrationPoint> points;
  std::string item;
  const auto take = [&]() -> bool {
    if (item.empty()) return true;
    const size_t colon = item.find(':');
    const auto channel = colon == std::string::npos ? std::nullopt : parseReal(item.substr(0, colon));
    const auto energy = colon == std::string::npos ? std::nullopt : parseReal(item.substr(colon + 1));
    if (!channel || !energy || !std::isfinite(*channel) || !std::isfinite(*energy)) {
      error = "'" + item + "' is not CHANNEL:ENERGY";
      return false;
    }
    points.push_back({*channel, *energy, ""});
    item.clear();
    return true;
  };
  for (const char c : text) {
    if (c == ',' || c == ';' || c == ' ' || c == '\t') {
      if (!take()) return std::nullopt;
    } else {
      item += c;
    }
  }
  if (!take()) return std::nullopt;
  return points;
}

std::string fixed(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

struct Outcome {
  CalibrationFit fit;  // in the unit of `evPerUnit`
  double evPerUnit = 1000.0;
  std::vector<LineCentroid> centroids;  // --lines only
};

void printTable(const Outcome& o, const char* unit) {
  std::printf("%-10s %10s %12s %12s %10s\n", "point", "channel", ("E/" + std::string(unit)).c_str(), "fitted",
              "resid/eV");
  size_t fitted = 0;
  const auto row = [&](const std::string& label, const FittedPoint& p) {
    std::printf("%-10s %10.2f %12.5f %12.5f %+10.1f%s\n", label.c_str(), p.point.channel, p.point.energy, p.fitted,
                p.residualEv, p.flagged ? "  does not fit" : "");
  };
  if (o.centroids.empty()) {
    for (size_t i = 0; i < o.fit.points.size(); ++i) row("#" + std::to_string(i + 1), o.fit.points[i]);
  } else {
    for (const LineCentroid& c : o.centroids) {
      if (c.found)
        row(c.line.label, o.fit.points[fitted++]);
      else
        std::printf("%-10s %10s %12.5f %12s %10s  not found\n", c.line.label.c_str(), "-", c.line.energyKev, "-", "-");
    }
  }
}

}  // namespace

bool wantsCalibFromPoints(const QStringList& arguments) {
  return std::any_of(arguments.begin(), arguments.end(), [](const QString& a) {
    return a == "--lines" || a == "--points" || a.startsWith("--lines=") || a.startsWith("--points=");
  });
}

int runCalibFromPoints(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Energy calibration through many points: a least-squares line E(c) = offset + gain x c, or with\n"
      "--quadratic also + quadratic x c^2. --lines finds each named line as the fitted peak nearest\n"
      "where the file's calibration (or --gain/--offset, keV) expects it; --points takes the channels\n"
      "and energies as given. Prints each point's residual in eV and the RMS; a point that the fit\n"
      "through the others misses by more than 20 eV and 4 times their scatter is marked\n"
      "\"does not fit\". With --write the calibration is stored in FILE (a quadratic term in bytes\n"
      "other programs do not read: they see the straight part).");
  parser.addPositionalArgument("FILE", "Spectrum file (.dat).");
  parser.addOption({"lines", "Known lines: \"Mn Ka, Cu Ka, Zr La\" (an element and a line or group each).", "list"});
  parser.addOption({"points", "Points CHANNEL:ENERGY, separated by commas: \"120.5:1.4866,590.2:5.8951\".", "list"});
  parser.addOption({"quadratic", "Fit a quadratic term as well."});
  parser.addOption({"unit", "Unit of the --points energies: keV or eV (default keV).", "unit", "keV"});
  parser.addOption({"gain", "Starting gain for --lines, keV per channel (default: the file's calibration).", "keV"});
  parser.addOption({"offset", "Starting offset for --lines, keV (default: the file's calibration).", "keV"});
  parser.addOption({"write", "Store the calibration in FILE, replaced in one step; every other byte is kept."});
  parser.addOption({"json", "Print one JSON object."});
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  const std::string usage = "FILE (--lines LIST | --points LIST) [--quadratic] [--write] [--json]";
  if (!expectPositionals(parser, 1, 1, usage)) return kExitUsage;
  if (!exclusive(parser, "lines", "points")) return kExitUsage;
  const bool quadratic = parser.isSet("quadratic");
  const std::string path = parser.positionalArguments().front().toLocal8Bit().toStdString();
  FileSession f;
  Session& s = f.session;
  if (!readSpectrum(s, path)) return kExitFailure;

  Outcome o;
  bool inEv = false;  // the unit the calibration is stored in
  if (parser.isSet("points")) {
    const std::string unit = parser.value("unit").toStdString();
    if (unit != "keV" && unit != "eV") return usageError("--unit is keV or eV, not '" + unit + "'");
    inEv = unit == "eV";
    o.evPerUnit = inEv ? 1.0 : 1000.0;
    std::string error;
    const auto points = parsePoints(parser.value("points").toStdString(), error);
    if (!points) return usageError("--points: " + error);
    o.fit = fitCalibration(*points, quadratic, o.evPerUnit);
    if (o.fit.outcome != CalibrationFit::Outcome::Fitted)
      return fail(code::kFit, std::string("no calibration: ") + calibrationFitOutcomeText(o.fit.outcome));
  } else {
    const KnownLineList list = parseKnownLines(parser.value("lines").toStdString());
    if (!list.error.empty()) return usageError("--lines: " + list.error);
    if (list.lines.empty()) return usageError("--lines names no line");
    EnergyScale start;
    const CalibrationCheck check = lineCalibration(s);
    if (!check.error) start = check.scale;
    const KevCalibration file =
        calibrationInKev(s.Calibration.Gain, s.Calibration.Offset, s.Acquisition.ChannelCount, s.Calibration.Quadratic);
    inEv = !check.error && file.unit == CalibrationUnit::EV;
    if (parser.isSet("gain") || parser.isSet("offset")) {
      const auto gain = numberOption(parser, "gain", 1e-4, 1.0, start.gain, "keV per channel");
      if (!gain) return kExitUsage;
      const auto offset = numberOption(parser, "offset", -100.0, 100.0, start.offset, "keV");
      if (!offset) return kExitUsage;
      start = {*gain, *offset, parser.isSet("gain") ? 0.0 : start.quadratic};
    }
    if (!start.valid())
      return fail(code::kNoCalibration,
                  "the file holds no calibration to say where the lines fall: give --gain and --offset (keV), "
                  "or use --points");
    const int32_t size = std::clamp(s.Acquisition.ChannelCount, 0, s.Working.capacity());
    const LinesCalibration r = calibrateFromLines(s.Working.Counts.data(), size, start, list.lines, quadratic);
    o.centroids = r.centroids;
    o.fit = r.fit;
    if (r.outcome != LinesCalibration::Outcome::Fitted) {
      for (const LineCentroid& c : r.centroids)
        if (!c.found) warn(c.line.label + ": no peak near " + fixed("%.3f", c.line.energyKev) + " keV");
      return fail(code::kFit, std::string("no calibration: ") + linesCalibrationOutcomeText(r.outcome));
    }
    // The fit is in keV; one stored in eV takes it times 1000.
    if (inEv) {
      o.evPerUnit = 1.0;
      o.fit.gain *= 1000.0;
      o.fit.offset *= 1000.0;
      o.fit.quadratic *= 1000.0;
      for (FittedPoint& p : o.fit.points) {
        p.point.energy *= 1000.0;
        p.fitted *= 1000.0;
      }
    }
  }
  const char* unit = inEv ? "eV" : "keV";
  const float gain = static_cast<float>(o.fit.gain);
  const float offset = static_cast<float>(o.fit.offset);
  const float quad = static_cast<float>(o.fit.quadratic);
  if (!std::isfinite(gain) || !std::isfinite(offset) || !std::isfinite(quad) || gain == 0.0f)
    return fail(code::kFit, "the fitted calibration has no place in single precision (or a gain of 0)");
  for (const FittedPoint& p : o.fit.points)
    if (p.flagged)
      warn((p.point.label.empty() ? fixed("the point at channel %.2f", p.point.channel) : p.point.label) +
           " does not fit the others: the calibration through them misses it by " +
           fixed("%.1f", p.leaveOneOutEv) + " eV");
  if (!o.fit.judged)
    warn("too few points to tell one that does not fit (a line needs 4, a quadratic 5)");
  if (parser.isSet("write") && !writeCalibrationInto(path, gain, offset, nullptr, quad)) return kExitFailure;

  if (parser.isSet("json")) {
    std::vector<std::string> points, missing;
    size_t next = 0;
    const auto pointJson = [&](const FittedPoint& p) {
      JsonObject j;
      j.addText("label", p.point.label)
          .addNumber("channel", p.point.channel)
          .addNumber("energy", p.point.energy)
          .addNumber("fitted", p.fitted)
          .addNumber("residual_ev", p.residualEv);
      if (o.fit.judged)
        j.addNumber("leave_one_out_ev", p.leaveOneOutEv);
      else
        j.add("leave_one_out_ev", "null");
      j.addBool("flagged", p.flagged);
      return j.text();
    };
    if (o.centroids.empty())
      for (const FittedPoint& p : o.fit.points) points.push_back(pointJson(p));
    for (const LineCentroid& c : o.centroids) {
      if (c.found)
        points.push_back(pointJson(o.fit.points[next++]));
      else
        missing.push_back(jsonText(c.line.label));
    }
    JsonObject result;
    result.addNumber("gain", gain)
        .addNumber("offset", offset)
        .addNumber("quadratic", quad)
        .addText("unit", unit)
        .addNumber("rms_ev", o.fit.rmsEv)
        .addBool("judged", o.fit.judged)
        .addNumber("flagged", o.fit.flaggedCount())
        .add("points", jsonArray(points))
        .add("not_found", jsonArray(missing));
    if (parser.isSet("write")) result.addText("written", path);
    std::printf("%s\n", result.text().c_str());
    return kExitOk;
  }
  printTable(o, unit);
  std::printf("gain %s offset %s", jsonNumber(gain).c_str(), jsonNumber(offset).c_str());
  if (quadratic) std::printf(" quadratic %s", jsonNumber(quad).c_str());
  std::printf(" (%s); RMS %.1f eV over %zu points\n", unit, o.fit.rmsEv, o.fit.points.size());
  if (parser.isSet("write")) note("wrote the calibration into " + path);
  return kExitOk;
}

}  // namespace tolvane::cli
