// tolvane-cli calib, fwhm, mnfit and dump: the analysis commands of the
// window on a spectrum file, through the same core operations.
#include <cstdio>

#include "analysis/energy_calibration.h"
#include "analysis/fwhm.h"
#include "analysis/mn_fit.h"
#include "cli/cli_common.h"
#include "cli/file_session.h"
#include "files/ascii_dump.h"

namespace tolvane::cli {

namespace {

void addViewOptions(QCommandLineParser& parser) {
  parser.addPositionalArgument("file", "Spectrum file (.dat).");
  parser.addOption({"cursor", "Cursor channel (on or next to the peak).", "channel"});
  parser.addOption({"first", "First displayed channel (default 0).", "channel"});
  parser.addOption({"last", "Last displayed channel (default N-1).", "channel"});
  parser.addOption({"json", "Print one JSON object."});
}

// Reads the file and applies the view; --cursor is required.
bool prepare(const QCommandLineParser& parser, FileSession& f) {
  if (parser.positionalArguments().size() != 1) return printError("give one spectrum file") == 0;
  if (!parser.isSet("cursor")) return printError("--cursor is required") == 0;
  return readSpectrum(f.session, parser.positionalArguments().front().toStdString()) && applyView(parser, f.session);
}

int reportFailure(const Session& s, bool json) {
  if (json) std::printf("{\"error\": \"%s\"}\n", s.Texts.Edit1.c_str());
  return printError(s.Texts.Edit1);
}

}  // namespace

int runCalib(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription("Energy calibration through two points (as Exec Calib).");
  parser.addPositionalArgument("LCH HCH LE HE", "Low and high channel, energy at each.");
  parser.addOption({"json", "Print one JSON object."});
  parser.addOption({"unit", "Energy unit text.", "text", "keV"});
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? 0 : 2;
  const QStringList values = parser.positionalArguments();
  if (values.size() != 4) return printError("calib takes LCH HCH LE HE");
  FileSession f;
  Session& s = f.session;
  s.CalibrationPage = {values[0].toStdString(), values[1].toStdString(), values[2].toStdString(),
                       values[3].toStdString(), parser.value("unit").toStdString()};
  s.Texts.Edit1.clear();
  EngCalibClick(s);
  if (s.Calibration.Valid != 1) return reportFailure(s, parser.isSet("json"));
  if (parser.isSet("json"))
    std::printf("{\"gain\": %s, \"offset\": %s}\n", jsonNumber(s.Calibration.Gain).c_str(),
                jsonNumber(s.Calibration.Offset).c_str());
  else
    std::printf("%.9g %.9g\n", static_cast<double>(s.Calibration.Gain), static_cast<double>(s.Calibration.Offset));
  return 0;
}

int runFwhm(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription("Centroid and FWHM in channels of the peak at the cursor (as FWHM Calic.).");
  addViewOptions(parser);
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? 0 : 2;
  FileSession f;
  if (!prepare(parser, f)) return 1;
  Session& s = f.session;
  const FwhmResult r = measureFwhm(workingSpectrum(s), s.Display.Cursor, s.Display.FirstShown, s.Display.LastShown);
  FWHMClick(s);
  if (r.outcome != FwhmResult::Outcome::Measured) return reportFailure(s, parser.isSet("json"));
  if (parser.isSet("json"))
    std::printf("{\"centroid\": %s, \"fwhm_ch\": %s}\n", jsonNumber(r.centroid).c_str(), jsonNumber(r.fwhm).c_str());
  else
    std::printf("%s\n%s\n", s.Texts.Edit1.c_str(), s.Texts.FwhmVal.c_str());
  return 0;
}

int runMnfit(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription("The Mn K-alpha fit of the peak at the cursor: centroid and FWHM in eV.");
  addViewOptions(parser);
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? 0 : 2;
  FileSession f;
  if (!prepare(parser, f)) return 1;
  Session& s = f.session;
  const MnFitResult r = fitMnKAlpha(workingSpectrum(s), s.Display.Cursor, s.Display.FirstShown, s.Display.LastShown,
                                    s.MnFit.KAlpha1Energy, s.MnFit.KAlpha2Energy);
  MnKaFitClick(s);
  if (r.outcome != MnFitResult::Outcome::Fitted) return reportFailure(s, parser.isSet("json"));
  if (parser.isSet("json")) {
    std::printf(
        "{\"centroid\": %s, \"fwhm_ch\": %s, \"fwhm_ev\": %s, \"ev_per_channel\": %s, \"kalpha1_position\": %s, "
        "\"kalpha2_position\": %s, \"fit_x1\": %s, \"fit_x2\": %s}\n",
        jsonNumber(r.centroid).c_str(), jsonNumber(r.fwhmCh).c_str(), jsonNumber(r.fwhmEv).c_str(),
        jsonNumber(r.evPerChannel).c_str(), jsonNumber(s.MnFit.KAlpha1Position).c_str(),
        jsonNumber(s.MnFit.KAlpha2Position).c_str(), jsonNumber(r.x1).c_str(), jsonNumber(r.x2).c_str());
  } else {
    std::printf("%s\n%s\n", s.Texts.Edit1.c_str(), s.Texts.FwhmVal.c_str());
  }
  return 0;
}

int runDump(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription("Write a spectrum file as the text dump (as File > AsciiWrite).");
  parser.addPositionalArgument("file", "Spectrum file (.dat).");
  parser.addOption({"out", "Text file to write.", "file"});
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? 0 : 2;
  if (parser.positionalArguments().size() != 1 || !parser.isSet("out"))
    return printError("dump FILE.dat --out FILE.txt");
  FileSession f;
  if (!readSpectrum(f.session, parser.positionalArguments().front().toStdString())) return 1;
  const std::string out = parser.value("out").toStdString();
  if (!WriteAsciiDump(f.session, out)) return printError("cannot write " + out);
  std::fprintf(stderr, "wrote %s\n", out.c_str());
  return 0;
}

}  // namespace tolvane::cli
