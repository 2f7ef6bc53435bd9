// tolvane-cli sum and subtract: spectra added, and a background taken off
// by live time, each written as a new spectrum file. The input files are
// only read.
#include <cstdio>

#include "analysis/spectrum_subtract.h"
#include "analysis/spectrum_sum.h"
#include "cli/cli_common.h"
#include "cli/file_session.h"
#include "cli/json_text.h"
#include "cli/output_file.h"
#include "files/path_name.h"
#include "files/spectrum_file.h"
#include "files/variance_file.h"
#include "files/number_text.h"

namespace tolvane::cli {

namespace {

// Reads each path as File > Read would; prints why and returns nullopt on
// the first that cannot be read.
std::optional<std::vector<SpectrumPart>> readParts(const QStringList& paths) {
  std::vector<SpectrumPart> parts;
  for (const QString& p : paths) {
    const std::string path = p.toStdString();
    const SpectrumFileRead read = readSpectrumPath(path);
    if (read.outcome == SpectrumFileRead::Outcome::CannotOpen) {
      fail(code::kNotFound, "cannot open " + path + ": " + unreadableReason(path));
      return std::nullopt;
    }
    if (read.outcome == SpectrumFileRead::Outcome::Refused) {
      fail(code::kRefused, refusedSpectrumMessage(path, read));
      return std::nullopt;
    }
    parts.push_back({read.header, read.counts, fileNameOf(path)});
  }
  return parts;
}

// Writes the derived spectrum; the exit code.
int writeDerived(const std::string& out, const DerivedSpectrum& d) {
  const std::vector<uint8_t> bytes =
      encodeSpectrumFile(d.header, d.counts.data(), static_cast<int>(d.counts.size()));
  if (const auto problem = writeOutput(out, bytes.data(), bytes.size())) return fail(code::kOutput, *problem);
  return kExitOk;
}

std::optional<int> checkOut(const QCommandLineParser& parser, std::string& out) {
  if (!parser.isSet("out")) return usageError("--out is required (the spectrum file to write)");
  out = parser.value("out").toStdString();
  std::vector<std::string> inputs;
  for (const QString& input : parser.positionalArguments()) inputs.push_back(input.toStdString());
  if (const auto stop = refuseOutputOverInput(out, inputs)) return stop;
  return refuseOutput(out, {".dat"});
}

}  // namespace

int runSum(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Add spectrum files channel by channel into a new spectrum file: counts add, and so do the live,\n"
      "real and preset times. All must have the same channel count and energy calibration. The header is\n"
      "the first file's, its comment says what was added.");
  parser.addPositionalArgument("FILE.dat", "Spectrum files (.dat), two or more.", "A.dat B.dat...");
  parser.addOption({"out", "Spectrum file (.dat) to write (required).", "file"});
  parser.addOption({"json", "Print the result (or the error) as JSON."});
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  if (!expectPositionals(parser, 2, 1000, "A.dat B.dat... --out S.dat")) return kExitUsage;
  std::string out;
  if (const auto stop = checkOut(parser, out)) return *stop;
  const auto parts = readParts(parser.positionalArguments());
  if (!parts) return kExitFailure;
  const DerivedSpectrum d = sumSpectra(*parts);
  if (!d.ok()) return fail(code::kRefused, "cannot add: " + describeRefusal(d, *parts));
  if (const int status = writeDerived(out, d)) return status;
  if (jsonOutput()) {
    std::printf("%s\n", JsonObject()
                            .addText("out", out)
                            .addNumber("spectra", static_cast<int>(parts->size()))
                            .addNumber("channels", static_cast<int>(d.counts.size()))
                            .add("live_s", jsonRounded(d.header.liveTime() / 10.0, 1))
                            .add("real_s", jsonRounded(d.header.realTime() / 10.0, 1))
                            .addText("comment", d.header.comment())
                            .text()
                            .c_str());
  } else {
    std::printf("%s: live %s s, real %s s: %s\n", d.description.c_str(), secondsText(d.header.liveTime()).c_str(),
                secondsText(d.header.realTime()).c_str(), out.c_str());
  }
  return kExitOk;
}

int runSubtract(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Take a background spectrum off a sample by live time: net = sample - r x background with r the\n"
      "sample's live time over the background's, rounded to whole counts. The variance of each channel\n"
      "(sample + r^2 x background) is written beside the result as NET.var, one value per line, which\n"
      "roi reads. The header is the sample's; its comment names the factor.");
  parser.addPositionalArgument("SAMPLE.dat", "Sample spectrum file (.dat).");
  parser.addPositionalArgument("BACKGROUND.dat", "Background spectrum file (.dat).");
  parser.addOption({"out", "Spectrum file (.dat) to write (required).", "file"});
  parser.addOption({"json", "Print the result (or the error) as JSON."});
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  if (!expectPositionals(parser, 2, 2, "SAMPLE.dat BACKGROUND.dat --out NET.dat")) return kExitUsage;
  std::string out;
  if (const auto stop = checkOut(parser, out)) return *stop;
  const std::string varPath = variancePathFor(out);
  if (const auto stop = refuseOutput(varPath, {".var"}, false, "the variance file")) return *stop;
  const auto parts = readParts(parser.positionalArguments());
  if (!parts) return kExitFailure;
  const SubtractedSpectrum net = subtractBackground((*parts)[0], (*parts)[1]);
  const DerivedSpectrum& d = net.spectrum;
  if (!d.ok()) return fail(code::kRefused, "cannot subtract: " + describeRefusal(d, *parts));
  // The variance first: a net spectrum is never left without it.
  std::string error;
  if (!writeVarianceFile(varPath, d.variance, fileNameOf(out), d.description, &error))
    return fail(code::kOutput, "cannot write " + varPath + ": " + error);
  if (const int status = writeDerived(out, d)) return status;
  if (jsonOutput()) {
    std::printf("%s\n", JsonObject()
                            .addText("out", out)
                            .addText("variance", varPath)
                            .addNumber("scale", net.scale)
                            .addNumber("channels", static_cast<int>(d.counts.size()))
                            .addText("comment", d.header.comment())
                            .text()
                            .c_str());
  } else {
    std::printf("%s: %s, variance in %s\n", d.description.c_str(), out.c_str(), varPath.c_str());
  }
  return kExitOk;
}

}  // namespace tolvane::cli
