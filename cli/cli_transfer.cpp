// tolvane-cli export and import: spectrum files to and from the formats
// other programs read (EMSA/MSA, SPEC, CSV).
#include <cstdio>
#include <string>

#include "cli/cli_common.h"
#include "cli/file_session.h"
#include "files/emsa_import.h"
#include "files/export_file.h"
#include "files/spectrum_file.h"

namespace tolvane::cli {

namespace {

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// One line "tolvane-cli: COMMAND: message" on stderr; with --json also the
// error object on stdout. Returns `exitCode`.
int fail(const char* command, bool json, const std::string& code, const std::string& message, int exitCode = 1) {
  std::fprintf(stderr, "tolvane-cli: %s: %s\n", command, message.c_str());
  if (json) std::printf("{\"error\": %s, \"code\": %s}\n", jsonString(message).c_str(), jsonString(code).c_str());
  return exitCode;
}

// The .dat read as File > Read does; the reason when it is refused.
bool readDat(Session& s, const std::string& path, std::string& why) {
  s.Texts.Edit1.clear();
  if (!ReadSpectrumFile(s, path)) {
    why = "cannot open " + path;
    return false;
  }
  if (!s.Texts.Edit1.empty()) {
    why = path + " is not a readable spectrum (" + s.Texts.Edit1 + " channels in whole blocks)";
    return false;
  }
  return true;
}

}  // namespace

int runExport(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Write a spectrum file in a format other programs read: EMSA/MSA (msa), SPEC (spec) or CSV (csv).");
  parser.addPositionalArgument("file", "Spectrum file (.dat).");
  parser.addOption({"format", "msa, spec or csv.", "format"});
  parser.addOption({"out", "File to write.", "file"});
  parser.addOption({"xy", "EMSA/MSA: write energy, count pairs instead of counts alone."});
  parser.addOption({"json", "Print the result (or the error) as JSON."});
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? 0 : 2;
  const bool json = parser.isSet("json");
  if (parser.positionalArguments().size() != 1 || !parser.isSet("out") || !parser.isSet("format"))
    return fail("export", json, "usage", "export FILE.dat --format msa|spec|csv --out OUT", 2);
  const auto format = exportFormatNamed(parser.value("format").toStdString());
  if (!format) return fail("export", json, "usage", "--format must be msa, spec or csv", 2);
  if (parser.isSet("xy") && *format != ExportFormat::Msa)
    return fail("export", json, "usage", "--xy goes with --format msa", 2);

  FileSession f;
  std::string why;
  if (!readDat(f.session, parser.positionalArguments().front().toStdString(), why))
    return fail("export", json, "unreadable_input", why);
  const std::string out = parser.value("out").toStdString();
  const EmsaDataForm form = parser.isSet("xy") ? EmsaDataForm::XY : EmsaDataForm::Y;
  if (ExportSpectrumFile(f.session, out, *format, form) != ExportOutcome::Written)
    return fail("export", json, "write_failed", "cannot write " + out);
  if (json)
    std::printf("{\"out\": %s, \"format\": %s, \"channels\": %d}\n", jsonString(out).c_str(),
                jsonString(parser.value("format").toStdString()).c_str(), f.session.Acquisition.ChannelCount);
  return 0;
}

int runImport(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Read an EMSA/MSA file as File > Import does and write it as a spectrum file (.dat). Counts that are "
      "not whole numbers are rounded; a spectrum that is not a whole number of 512 channels is padded with "
      "zero counts.");
  parser.addPositionalArgument("file", "EMSA/MSA file (.msa).");
  parser.addOption({"out", "Spectrum file (.dat) to write.", "file"});
  parser.addOption({"json", "Print the result (or the error) as JSON."});
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? 0 : 2;
  const bool json = parser.isSet("json");
  if (parser.positionalArguments().size() != 1 || !parser.isSet("out"))
    return fail("import", json, "usage", "import FILE.msa --out FILE.dat", 2);

  FileSession f;
  const std::string in = parser.positionalArguments().front().toStdString();
  const ImportOutcome o = ImportEmsaFile(f.session, in);
  switch (o.kind) {
    case ImportOutcome::Kind::CannotOpen:
      return fail("import", json, "cannot_open", "cannot open " + in);
    case ImportOutcome::Kind::TooLarge:
      return fail("import", json, "too_large", in + " is too large");
    case ImportOutcome::Kind::Refused:
      return fail("import", json, "refused", in + " " + describeEmsaRefusal(o.read));
    case ImportOutcome::Kind::Loaded:
      break;
  }
  const std::string out = parser.value("out").toStdString();
  if (!WriteSpectrumFile(f.session, out)) return fail("import", json, "write_failed", "cannot write " + out);
  const int points = static_cast<int>(o.read.spectrum.counts.size());
  if (json) {
    std::printf("{\"out\": %s, \"channels\": %d, \"points\": %d, \"rounded\": %s, \"calibrated\": %s}\n",
                jsonString(out).c_str(), o.channels, points, o.read.spectrum.rounded ? "true" : "false",
                o.read.spectrum.calibrated ? "true" : "false");
  } else {
    const std::string note = importStatusText(o);
    std::printf("%d channels%s%s\n", o.channels, note.empty() ? "" : ": ", note.c_str());
  }
  return 0;
}

}  // namespace tolvane::cli
