// tolvane-cli export and import: spectrum files to and from the formats
// other programs read (EMSA/MSA, SPEC, CSV).
#include <algorithm>
#include <cstdio>
#include <string>

#include "cli/cli_common.h"
#include "cli/file_session.h"
#include "cli/json_text.h"
#include "cli/output_file.h"
#include "cli/snip_options.h"
#include "files/emsa_import.h"
#include "files/spectrum_import.h"
#include "files/export_file.h"
#include "files/path_name.h"
#include "files/spectrum_file.h"

namespace tolvane::cli {

namespace {

// Checks the output before any work: its extension, when it has one, must
// suit the format.
std::optional<int> refuseExportOutput(const std::string& out, ExportFormat format) {
  switch (format) {
    case ExportFormat::Msa:
      return refuseOutput(out, {".msa", ".emsa", ".txt"}, true);
    case ExportFormat::Spec:
      return refuseOutput(out, {".spec", ".mca", ".txt"}, true);
    case ExportFormat::Csv:
      return refuseOutput(out, {".csv", ".txt"}, true);
  }
  return std::nullopt;
}

int snipExitCode = kExitUsage;

// Puts the SNIP background in place of the counts read (the file stays as
// it is), the comment naming it.
bool takeSnipBackground(const QCommandLineParser& parser, Session& s) {
  const auto options = snipOptionsFor(parser, s, snipExitCode);
  if (!options) return false;
  const int channels = s.Acquisition.ChannelCount;
  const std::vector<int32_t> bg = roundedBackground(snipBackground(s.Working.Counts.data(), channels, *options));
  std::copy(bg.begin(), bg.end(), s.Working.Counts.begin());
  s.Working.Header.setComment("SNIP " + snipOptionsText(*options) + " " + s.Working.Header.comment());
  return true;
}

}  // namespace

int runExport(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Write a spectrum file in a format other programs read: EMSA/MSA (msa), SPEC (spec) or CSV (csv).\n"
      "--out - writes the text to standard output.");
  parser.addPositionalArgument("FILE.dat", "Spectrum file (.dat).");
  parser.addOption({"format", "msa, spec or csv (required).", "format"});
  parser.addOption({"out", "File to write (msa: .msa .emsa .txt; spec: .spec .mca .txt; csv: .csv .txt), or -.",
                    "file"});
  parser.addOption({"xy", "EMSA/MSA: write energy, count pairs instead of counts alone."});
  parser.addOption({"background",
                    "snip: write the SNIP background of the spectrum (whole counts) instead of its counts.", "kind"});
  addSnipOptions(parser);
  parser.addOption({"json", "Print the result (or the error) as JSON."});
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  if (!expectPositionals(parser, 1, 1, "FILE.dat --format msa|spec|csv --out OUT|-")) return kExitUsage;
  if (parser.isSet("background") && parser.value("background") != "snip")
    return usageError("--background must be snip, not '" + parser.value("background").toStdString() + "'");
  for (const char* option : {"width", "fwhm-kev", "no-lls", "smooth"})
    if (parser.isSet(option) && !parser.isSet("background"))
      return usageError(std::string("--") + option + " goes with --background snip");
  if (!parser.isSet("format")) return usageError("--format is required (msa, spec or csv)");
  const std::string formatName = parser.value("format").toStdString();
  const auto format = exportFormatNamed(formatName);
  if (!format) return usageError("--format must be msa, spec or csv, not '" + formatName + "'");
  if (parser.isSet("xy") && *format != ExportFormat::Msa) return usageError("--xy goes with --format msa");
  if (!parser.isSet("out")) return usageError("--out is required (the file to write, or -)");
  const std::string out = parser.value("out").toStdString();
  if (out == "-" && parser.isSet("json"))
    return usageError("--json and --out - exclude each other: both would go to standard output");
  if (const auto stop = refuseExportOutput(out, *format)) return *stop;

  FileSession f;
  const std::string in = parser.positionalArguments().front().toStdString();
  if (!readSpectrum(f.session, in)) return kExitFailure;
  if (parser.isSet("background") && !takeSnipBackground(parser, f.session)) return snipExitCode;
  const EmsaDataForm form = parser.isSet("xy") ? EmsaDataForm::XY : EmsaDataForm::Y;
  // SPEC names its file inside; on standard output that is the input's name.
  const std::string text = exportText(f.session, *format, out == "-" ? in : out, form);
  if (out == "-") {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return kExitOk;
  }
  if (const auto problem = writeOutput(out, text.data(), text.size())) return fail(code::kOutput, *problem);
  if (jsonOutput())
    std::printf("%s\n", JsonObject()
                            .addText("out", out)
                            .addText("format", formatName)
                            .addNumber("channels", f.session.Acquisition.ChannelCount)
                            .text()
                            .c_str());
  return kExitOk;
}

int runImport(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Read a spectrum another program wrote, as File > Import does, and write it as a spectrum file (.dat).\n"
      "The format is told from the content, whatever the extension: EMSA/MSA, the MCA text format of small\n"
      "USB analysers (<<PMCA SPECTRUM>> ... <<DATA>> ... <<END>>), SPEC files with MCA data (@A lines; the\n"
      "first spectrum), or columns of text (counts; channel or energy and counts; channel, energy, counts).\n"
      "Counts that are not whole numbers are rounded; a spectrum that is not a whole number of 512 channels\n"
      "is padded with zero counts. EMSA/MSA: values beyond #NPOINTS are kept, and an X column that strays\n"
      "from #XPERCHAN/#OFFSET by more than half a channel gives the scale, each with a warning; times are\n"
      "rounded to tenths.");
  parser.addPositionalArgument("FILE", "EMSA/MSA, MCA text, SPEC or text-column file.");
  parser.addOption({"out", "Spectrum file (.dat) to write (required).", "file"});
  parser.addOption({"json", "Print the result (or the error) as JSON."});
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  if (!expectPositionals(parser, 1, 1, "FILE --out FILE.dat")) return kExitUsage;
  if (!parser.isSet("out")) return usageError("--out is required (the spectrum file to write)");
  const std::string out = parser.value("out").toStdString();
  if (const auto stop = refuseOutput(out, {".dat"})) return *stop;

  FileSession f;
  Session& s = f.session;
  const std::string in = parser.positionalArguments().front().toStdString();
  const SpectrumImport o = importSpectrumPath(s, in);
  switch (o.kind) {
    case ImportOutcome::Kind::CannotOpen:
      return fail(code::kNotFound, "cannot open " + in + ": " + unreadableReason(in));
    case ImportOutcome::Kind::TooLarge:
      return fail(code::kRefused, in + " is too large for a spectrum (over " +
                                      std::to_string(kEmsaMaxFileBytes / (1024 * 1024)) + " MiB)");
    case ImportOutcome::Kind::Refused:
      return fail(code::kRefused, in + " " + o.refusal() +
                                      (o.format == ImportFormat::Emsa ? "" : std::string(" (read as ") +
                                                                                 importFormatName(o.format) + ")"));
    case ImportOutcome::Kind::Loaded:
      break;
  }
  for (const std::string& warning : o.warnings()) warn(in + ": " + warning);
  // Written as File > Write writes the spectrum shown, with the reason
  // when it cannot be.
  s.Working.setName(fileNameOf(out));
  const int channels = std::clamp(s.Acquisition.ChannelCount, 0, s.Working.capacity());
  fillHeaderForWrite(s, s.Working.Header, channels);
  const std::vector<uint8_t> bytes = encodeSpectrumFile(s.Working.Header, s.Working.Counts.data(), channels);
  if (const auto problem = writeOutput(out, bytes.data(), bytes.size())) return fail(code::kOutput, *problem);
  const EmsaSpectrum& spectrum = o.spectrum();
  const int points = static_cast<int>(spectrum.counts.size());
  if (jsonOutput()) {
    std::printf("%s\n", JsonObject()
                            .addText("out", out)
                            .addText("format", importFormatName(o.format))
                            .addNumber("channels", o.channels)
                            .addNumber("points", points)
                            .addBool("rounded", spectrum.rounded)
                            .addBool("calibrated", spectrum.calibrated)
                            .text()
                            .c_str());
  } else {
    const std::string note = o.adjustments();
    std::printf("%d channels%s%s\n", o.channels, note.empty() ? "" : ": ", note.c_str());
  }
  return kExitOk;
}

}  // namespace tolvane::cli
