// tolvane-cli calib, fwhm, mnfit and dump: the analysis commands of the
// window on a spectrum file, through the same core operations.
#include <cmath>
#include <cstdio>
#include <limits>

#include "analysis/calibration_unit.h"
#include "analysis/energy_calibration.h"
#include "analysis/fwhm.h"
#include "analysis/mn_fit.h"
#include "analysis/peak_significance.h"
#include "records/text_number.h"
#include "cli/calibration_into_file.h"
#include "cli/cli_calib_lines.h"
#include "cli/cli_common.h"
#include "cli/file_session.h"
#include "cli/json_text.h"
#include "cli/output_file.h"
#include "files/ascii_dump.h"
#include "files/path_name.h"

namespace tolvane::cli {

namespace {

void addViewOptions(QCommandLineParser& parser) {
  parser.addPositionalArgument("FILE", "Spectrum file (.dat).");
  parser.addOption({"cursor", "Cursor channel (on or next to the peak).", "channel"});
  parser.addOption({"first", "First displayed channel (default 0).", "channel"});
  parser.addOption({"last", "Last displayed channel (default N-1).", "channel"});
  parser.addOption({"json", "Print one JSON object."});
}

// Reads the file and applies the view; --cursor is required. Returns the
// exit code when the command cannot go on.
std::optional<int> prepare(const QCommandLineParser& parser, FileSession& f) {
  if (!expectPositionals(parser, 1, 1, "FILE --cursor C [--first F --last L] [--json]")) return kExitUsage;
  if (!parser.isSet("cursor")) return usageError("--cursor is required (a channel on or next to the peak)");
  if (!readSpectrum(f.session, parser.positionalArguments().front().toStdString())) return kExitFailure;
  if (!applyView(parser, f.session)) return kExitUsage;
  return std::nullopt;
}

// Refuses a "peak" that does not stand out from the displayed channels.
bool peakIsThere(const Session& s, const PeakNearCursor& peak) {
  return peakStandsOut(workingSpectrum(s), peak, s.Display.FirstShown, s.Display.LastShown);
}

int noPeak(const Session& s) {
  return fail(code::kNoPeak, "No peak near channel " + std::to_string(s.Display.Cursor) +
                                 ": the largest count does not stand out from the displayed channels");
}

std::string fixed2(const char* format, float value) {
  char text[48];
  std::snprintf(text, sizeof text, format, static_cast<double>(value));
  return text;
}

}  // namespace

int runCalib(const QStringList& arguments) {
  if (wantsCalibFromPoints(arguments)) return runCalibFromPoints(arguments);
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Energy calibration through two points (as Exec Calib): E(c) = c x gain + offset.\n"
      "Prints the gain and offset as stored (single precision). With --write the calibration is\n"
      "stored in a spectrum file, which is otherwise kept byte for byte.\n"
      "Negative values: give the options first, then -- and the four numbers.\n"
      "Through many points: calib FILE.dat --lines LIST | --points LIST (calib FILE --lines X --help).");
  parser.addPositionalArgument("LCH HCH LE HE", "Low and high channel, energy at each.");
  parser.addOption({"json", "Print one JSON object."});
  parser.addOption({"unit", "Energy unit text (at most 7 characters).", "text", "keV"});
  parser.addOption({"write",
                    "Store the calibration in this spectrum file (.dat), replaced in one step; the file keeps "
                    "no unit: its energies are read as keV.",
                    "FILE.dat"});
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  if (!expectPositionals(parser, 4, 4, "[--unit U] [--json] [--write FILE.dat] [--] LCH HCH LE HE"))
    return kExitUsage;
  const QStringList values = parser.positionalArguments();
  const char* names[] = {"LCH", "HCH", "LE", "HE"};
  double numbers[4];
  for (int i = 0; i < 4; ++i) {
    const auto value = parseReal(values[i].toStdString());
    if (!value) return usageError(std::string(names[i]) + " is not a number: '" + values[i].toStdString() + "'");
    // The line is stored in single precision: a value beyond it has no
    // place there.
    if (!(std::fabs(*value) <= std::numeric_limits<float>::max()))
      return usageError(std::string(names[i]) + " must be a number from -3.40282347e+38 to 3.40282347e+38 " +
                        "(single precision), not '" + values[i].toStdString() + "'");
    numbers[i] = *value;
  }
  const std::string unit = parser.value("unit").toStdString();
  if (unit.size() > 7) return usageError("--unit takes at most 7 characters");
  const CalibrationLine line = computeCalibration(numbers[0], numbers[1], numbers[2], numbers[3]);
  if (line.outcome != CalibrationLine::Outcome::Computed)
    return usageError(static_cast<float>(numbers[0]) == static_cast<float>(numbers[1])
                          ? "LCH and HCH are the same channel (in single precision): no line passes through one "
                            "channel"
                          : "the line through these points has a gain or offset beyond single precision "
                            "(±3.40282347e+38): choose channels further apart or smaller energies");
  const std::string target = parser.value("write").toLocal8Bit().toStdString();
  if (parser.isSet("write")) {
    if (line.gain == 0.0f)
      return usageError("LE and HE are the same energy: a gain of 0 gives no calibration, nothing written");
    int32_t channels = 0;
    if (!writeCalibrationInto(target, line.gain, line.offset, &channels)) return kExitFailure;
    // The file keeps no unit: the tool reads it from the calibration's range.
    const char* readAs =
        calibrationUnit(line.gain, line.offset, channels) == CalibrationUnit::EV ? "eV" : "keV";
    if (unit != readAs)
      warn("the spectrum file stores no unit: its calibration's range makes it " + std::string(readAs) + ", not " +
           unit);
  }
  if (parser.isSet("json")) {
    JsonObject result;
    result.addNumber("gain", line.gain)
        .addNumber("offset", line.offset)
        .addNumber("gain_full", line.exactGain)
        .addNumber("offset_full", line.exactOffset)
        .addText("unit", unit);
    if (parser.isSet("write")) result.addText("written", target);
    std::printf("%s\n", result.text().c_str());
  } else {
    // The shortest digits that read back as the stored values.
    std::printf("%s %s\n", jsonNumber(line.gain).c_str(), jsonNumber(line.offset).c_str());
  }
  return kExitOk;
}

int runFwhm(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription("Centroid and FWHM in channels of the peak at the cursor (as FWHM Calic.).");
  addViewOptions(parser);
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  FileSession f;
  if (const auto stop = prepare(parser, f)) return *stop;
  const Session& s = f.session;
  const FwhmResult r = measureFwhm(workingSpectrum(s), s.Display.Cursor, s.Display.FirstShown, s.Display.LastShown);
  if (r.outcome == FwhmResult::Outcome::NoPeak || !peakIsThere(s, r.peak)) return noPeak(s);
  if (r.outcome == FwhmResult::Outcome::PeakAtViewEdge)
    return fail(code::kNoPeak, "Peak at view edge: widen --first/--last around the peak");
  if (parser.isSet("json"))
    std::printf("%s\n", JsonObject().addNumber("centroid", r.centroid).addNumber("fwhm_ch", r.fwhm).text().c_str());
  else
    std::printf("%s\n%s\n", fixed2("Peak %8.2f Ch.", r.centroid).c_str(), fixed2("%8.2f ch", r.fwhm).c_str());
  return kExitOk;
}

int runMnfit(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription("The Mn K-alpha fit of the peak at the cursor: centroid and FWHM in eV.");
  addViewOptions(parser);
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  FileSession f;
  if (const auto stop = prepare(parser, f)) return *stop;
  const Session& s = f.session;
  const SpectrumView y = workingSpectrum(s);
  const MnFitResult r = fitMnKAlpha(y, s.Display.Cursor, s.Display.FirstShown, s.Display.LastShown,
                                    s.MnFit.KAlpha1Energy, s.MnFit.KAlpha2Energy);
  if (r.outcome == MnFitResult::Outcome::NoPeak || !peakIsThere(s, r.peak)) return noPeak(s);
  if (r.outcome == MnFitResult::Outcome::PeakAtViewEdge)
    return fail(code::kNoPeak, "Peak at view edge: widen --first/--last around the peak");
  if (parser.isSet("json")) {
    // fwhm_ch means what the fwhm command reports; the fit's own width (the
    // one converted to eV) is fit_width_ch.
    const FwhmResult w = measureFwhm(y, s.Display.Cursor, s.Display.FirstShown, s.Display.LastShown);
    JsonObject o;
    o.addNumber("centroid", r.centroid);
    if (w.outcome == FwhmResult::Outcome::Measured)
      o.addNumber("fwhm_ch", w.fwhm);
    else
      o.add("fwhm_ch", "null");
    o.addNumber("fit_width_ch", r.fwhmCh)
        .addNumber("fwhm_ev", r.fwhmEv)
        .addNumber("ev_per_channel", r.evPerChannel)
        .addNumber("kalpha1_position", r.lastTrialX1)
        .addNumber("kalpha2_position", r.lastTrialX2)
        .addNumber("fit_x1", r.x1)
        .addNumber("fit_x2", r.x2);
    std::printf("%s\n", o.text().c_str());
  } else {
    std::printf("%s\n%s\n", fixed2("%8.2f Ch.", r.centroid).c_str(), fixed2("%8.2f eV", r.fwhmEv).c_str());
  }
  return kExitOk;
}

int runDump(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Write a spectrum file as the text dump (as File > AsciiWrite).\n"
      "--out - writes the dump to standard output.");
  parser.addPositionalArgument("FILE", "Spectrum file (.dat).");
  parser.addOption({"out", "Text file to write (.txt), or - for standard output.", "file"});
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  if (!expectPositionals(parser, 1, 1, "FILE --out FILE.txt|-")) return kExitUsage;
  if (!parser.isSet("out")) return usageError("--out is required (the text file to write, or -)");
  const std::string out = parser.value("out").toStdString();
  if (const auto stop = refuseOutput(out, {".txt"}, true)) return *stop;
  FileSession f;
  Session& s = f.session;
  if (!readSpectrum(s, parser.positionalArguments().front().toStdString())) return kExitFailure;
  if (out == "-") {
    const std::string text = asciiDumpText(s);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return kExitOk;
  }
  // The dump names the spectrum after the file it goes to.
  s.Working.setName(fileNameOf(out));
  const std::string text = asciiDumpText(s);
  if (const auto problem = writeOutput(out, text.data(), text.size())) return fail(code::kOutput, *problem);
  note("wrote " + out);
  return kExitOk;
}

}  // namespace tolvane::cli
