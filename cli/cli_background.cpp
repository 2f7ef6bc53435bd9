// tolvane-cli background and roi: the SNIP continuum of a spectrum file as
// a spectrum file of its own, and ROI sums over either background.
#include <cmath>
#include <cstdio>
#include <limits>

#include "analysis/snip_background.h"
#include "cli/cli_common.h"
#include "cli/file_session.h"
#include "cli/json_text.h"
#include "cli/output_file.h"
#include "cli/snip_options.h"
#include "files/path_name.h"
#include "files/spectrum_file.h"
#include "files/variance_file.h"
#include "roi/roi_background_net.h"

namespace tolvane::cli {

namespace {

// "LOW:HIGH" as two channels; nullopt after a usage error.
std::optional<std::pair<int32_t, int32_t>> roiWindow(const QString& text, int channels) {
  const QStringList parts = text.split(':');
  bool lowOk = false, highOk = false;
  const int low = parts.size() == 2 ? parts[0].toInt(&lowOk) : 0;
  const int high = parts.size() == 2 ? parts[1].toInt(&highOk) : 0;
  if (!lowOk || !highOk || low < 0 || high > channels || high <= low) {
    usageError("a window is LOW:HIGH with 0 <= LOW < HIGH <= " + std::to_string(channels) + ", not '" +
               text.toStdString() + "'");
    return std::nullopt;
  }
  return std::make_pair(low, high);
}

}  // namespace

int runBackground(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Write the SNIP background (the continuum under the peaks) of a spectrum file as a spectrum file: the\n"
      "same header, the background rounded to whole counts, and a comment naming the window. The input is\n"
      "only read.");
  parser.addPositionalArgument("FILE.dat", "Spectrum file (.dat).");
  parser.addOption({"out", "Spectrum file (.dat) to write (required).", "file"});
  addSnipOptions(parser);
  parser.addOption({"json", "Print the result (or the error) as JSON."});
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  if (!expectPositionals(parser, 1, 1, "FILE.dat [--width N] --out BG.dat")) return kExitUsage;
  if (!parser.isSet("out")) return usageError("--out is required (the spectrum file to write)");
  const std::string out = parser.value("out").toStdString();
  if (const auto stop = refuseOutputOverInput(out, {parser.positionalArguments().front().toStdString()})) return *stop;
  if (const auto stop = refuseOutput(out, {".dat"})) return *stop;

  FileSession f;
  Session& s = f.session;
  const std::string in = parser.positionalArguments().front().toStdString();
  if (!readSpectrum(s, in)) return kExitFailure;
  int exitCode = kExitUsage;
  const auto options = snipOptionsFor(parser, s, exitCode);
  if (!options) return exitCode;
  const int channels = s.Acquisition.ChannelCount;
  const std::vector<int32_t> counts = roundedBackground(snipBackground(s.Working.Counts.data(), channels, *options));

  SpectrumFileHeader header = s.Working.Header;
  const std::string how = "SNIP " + snipOptionsText(*options);
  const std::string comment = how + " " + fileNameOf(in);
  header.setComment(comment.size() < SpectrumFileHeader::kTextFieldSize ? comment : how);
  const std::vector<uint8_t> bytes = encodeSpectrumFile(header, counts.data(), channels);
  if (const auto problem = writeOutput(out, bytes.data(), bytes.size())) return fail(code::kOutput, *problem);
  if (jsonOutput()) {
    std::printf("%s\n", JsonObject()
                            .addText("out", out)
                            .addNumber("channels", channels)
                            .addNumber("width", options->width)
                            .addBool("lls", options->logLogSqrt)
                            .addNumber("smoothing", options->smoothing)
                            .text()
                            .c_str());
  } else {
    std::printf("SNIP background of %s, %s, %d channels: %s\n", fileNameOf(in).c_str(),
                snipOptionsText(*options).c_str(), channels, out.c_str());
  }
  return kExitOk;
}

int runRoi(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Gross and net sums of channel windows of a spectrum file, with the sigma of the net sum. The\n"
      "background is the straight line from three channels on each side, as the plot draws it (line), or\n"
      "the SNIP continuum (snip). A variance file beside the spectrum (NET.var, written by subtract) gives\n"
      "the channels' variance instead of the counts.");
  parser.addPositionalArgument("FILE.dat", "Spectrum file (.dat).");
  parser.addPositionalArgument("LOW:HIGH", "Window: channels LOW to HIGH-1, as an ROI holds them.", "LOW:HIGH...");
  parser.addOption({"background", "line (default) or snip.", "kind"});
  addSnipOptions(parser);
  parser.addOption({"json", "Print one JSON object."});
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  if (!expectPositionals(parser, 2, 100, "FILE.dat LOW:HIGH... [--background line|snip]")) return kExitUsage;
  const QString kind = parser.isSet("background") ? parser.value("background") : "line";
  if (kind != "line" && kind != "snip")
    return usageError("--background must be line or snip, not '" + kind.toStdString() + "'");
  const RoiBackground background = kind == "snip" ? RoiBackground::Snip : RoiBackground::StraightLine;

  FileSession f;
  Session& s = f.session;
  const std::string in = parser.positionalArguments().front().toStdString();
  if (!readSpectrum(s, in)) return kExitFailure;
  const int channels = s.Acquisition.ChannelCount;
  std::vector<std::pair<int32_t, int32_t>> windows;
  for (int i = 1; i < parser.positionalArguments().size(); ++i) {
    const auto window = roiWindow(parser.positionalArguments()[i], channels);
    if (!window) return kExitUsage;
    windows.push_back(*window);
  }
  std::vector<double> snip;
  SnipOptions options;
  if (background == RoiBackground::Snip) {
    int exitCode = kExitUsage;
    const auto given = snipOptionsFor(parser, s, exitCode);
    if (!given) return exitCode;
    options = *given;
    snip = snipBackground(s.Working.Counts.data(), channels, options);
  }
  const auto variance = varianceBeside(in, static_cast<size_t>(channels));

  std::vector<std::string> rows;
  for (const auto& [low, high] : windows) {
    const int32_t* counts = s.Working.Counts.data();
    RoiNetSums sums = background == RoiBackground::Snip ? roiNetOverBackground(counts, channels, low, high, snip)
                                                        : roiNetSums(counts, channels, low, high);
    if (variance) {
      const double under = static_cast<double>(sums.gross) - static_cast<double>(sums.net);
      sums.variance = roiNetVariance(*variance, low, high, background, under);
    }
    const double sigma = std::sqrt(sums.variance);
    if (jsonOutput()) {
      rows.push_back(JsonObject()
                         .addNumber("low", low)
                         .addNumber("high", high)
                         .add("gross", jsonRounded(sums.gross, 1))
                         .add("net", jsonRounded(sums.net, 1))
                         .add("sigma", jsonRounded(sigma, 2))
                         .text());
    } else {
      std::printf("%6d %6d %12.1f %12.1f %10.2f\n", low, high, static_cast<double>(sums.gross),
                  static_cast<double>(sums.net), sigma);
    }
  }
  if (jsonOutput()) {
    JsonObject result;
    result.addText("background", kind.toStdString());
    if (background == RoiBackground::Snip) result.addNumber("width", options.width);
    result.addBool("variance_file", variance.has_value());
    result.add("rois", jsonArray(rows));
    std::printf("%s\n", result.text().c_str());
  }
  return kExitOk;
}

}  // namespace tolvane::cli
