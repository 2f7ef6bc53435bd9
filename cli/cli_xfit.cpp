// tolvane-cli xfit: "Load Std" and "MLSQ Fit" on spectrum files; with
// --batch, many samples against one loaded table, as CSV.
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "cli/cli_common.h"
#include "cli/cli_fit_quality.h"
#include "cli/cli_xfit_image.h"
#include "cli/cli_xfit_map.h"
#include "cli/file_session.h"
#include "cli/json_text.h"
#include "cli/quant_setup.h"
#include "cli/output_file.h"
#include "cli/xfit_checks.h"
#include "cli/xfit_outputs.h"
#include "files/spectrum_file.h"
#include "lines/line_data.h"
#include "xfit/batch_files.h"
#include "xfit/batch_report.h"
#include "xfit/fit_quality_plan.h"
#include "xfit/mlsq_fit.h"
#include "xfit/sample_warnings.h"
#include "xfit/spill_line.h"
#include "xfit/standards_editor.h"
#include "xfit/standards_load.h"

namespace tolvane::cli {

namespace {

// Why a batch sample has no K-ratios.
std::string batchFailure(const BatchFileResult& result, const std::string& path) {
  switch (result.status) {
    case BatchFileStatus::CannotOpen:
      return "cannot open: " + unreadableReason(path);
    case BatchFileStatus::NotASpectrum:
      return "not a spectrum: its header's channel count disagrees with its whole 512-count blocks";
    case BatchFileStatus::NotFitted:
      return result.channels == 0 ? "no channels to fit"
                                  : "singular system (a fit window without counts, or two standards alike)";
    case BatchFileStatus::Fitted:
      break;
  }
  return "fitted";
}

// The wt% columns of --quant: concentrations by fundamental parameters
// from each sample's K-ratios per live time and beam current, under the
// conditions of the table's .quant file.
class BatchQuant {
 public:
  // Prints why and leaves ok() false when the conditions or a standard's
  // element cannot be used.
  BatchQuant(const std::string& table, const StandardsCheck& check) : check_(check) {
    const auto conditions = tableConditions(table);
    if (!conditions) return;
    conditions_ = *conditions;
    const auto constraint = sumConstraintOf(conditions_.balance);
    if (!constraint) {
      fail(code::kRefused, conditionsPathFor(table) + ": balance '" + conditions_.balance + "' names nothing");
      return;
    }
    QuantRequest request;
    request.constraint = *constraint;
    request.beam = conditions_.beam();
    request.geometry = conditions_.geometry;
    for (const StandardInUse& s : check.standards) {
      const auto z = standardElement(s.element);
      const auto standard = z ? standardOf(conditions_, *z) : std::nullopt;
      if (!standard) {
        if (!z) fail(code::kRefused, "standard No." + std::to_string(s.index + 1) + ": '" + s.element + "' names no element");
        return;
      }
      request.measured.push_back({*z, conditions_.line, *standard, 0.0, 0.0});
      elements_.push_back(*z);
    }
    solver_ = std::make_unique<ConcentrationSolver>(request);
    ok_ = true;
  }
  bool ok() const { return ok_; }

  std::string header() const {
    std::string text;
    for (const int z : elements_) text += "," + csvField(elementSymbol(z) + "_wt_pct");
    return text + ",wt_total,quant_converged";
  }

  // The row's cells: empty where the sample was not fitted, has no live
  // time, or the element is not excited.
  std::string cells(const BatchFileResult& result) const {
    const size_t n = elements_.size();
    std::string empty(n + 2, ',');
    if (result.status != BatchFileStatus::Fitted) return empty;
    std::vector<double> kratios(n, 0.0), errors(n, 0.0);
    for (size_t k = 0; k < n; ++k) {
      const auto perLiveTime = tolvane::liveTimeKratio(result.fit.coefficients[k] * 100.0, result.header.liveTime(),
                                              check_.standards[k].read.header.liveTime());
      if (!perLiveTime) return empty;
      kratios[k] = *perLiveTime / 100.0 * currentScale(conditions_, elements_[k]);
    }
    const QuantResult quant = solver_->solve(kratios, errors, false);
    std::string text;
    char number[32];
    for (size_t k = 0; k < n; ++k) {
      text += ",";
      if (const auto& fraction = quant.elements[k].fraction) {
        std::snprintf(number, sizeof number, "%.4f", *fraction * 100.0);
        text += number;
      }
    }
    std::snprintf(number, sizeof number, ",%.4f,%d", quant.total * 100.0, quant.converged ? 1 : 0);
    return text + number;
  }

 private:
  const StandardsCheck& check_;
  QuantConditions conditions_;
  std::vector<int> elements_;
  std::unique_ptr<ConcentrationSolver> solver_;
  bool ok_ = false;
};

// A load that stopped although the check found the standards ready (a file
// changed in between).
int refuseLoad(const std::string& table, const StandardsLoad& load) {
  return fail(load.outcome == StandardsLoad::Outcome::StandardMissing ? code::kNotFound : code::kRefused,
              "cannot load the standards of " + table + ": " + standardsLoadProblem(load));
}

int runBatch(const QStringList& files, const std::optional<MapRequest>& map, bool quant) {
  const std::string table = files.front().toLocal8Bit().toStdString();
  const StandardsCheck check = checkStandards(table);
  if (const auto stop = refuseStandards(table, check)) return *stop;
  FileSession f;
  TDmVQRN& module = f.session.DataModule;
  const StandardsLoad load = LoadStandardTable(module, table);
  if (!load.loaded()) return refuseLoad(table, load);
  for (const StandardReadAsBlocks& standard : load.readAsBlocks) warn(table + ": " + readAsBlocksText(standard));

  std::unique_ptr<BatchQuant> concentrations;
  if (quant) {
    concentrations = std::make_unique<BatchQuant>(table, check);
    if (!concentrations->ok()) return kExitFailure;
  }
  // The maps' folder is made once the inputs are accepted and before any
  // row is printed: a folder that cannot be made leaves standard output
  // empty, a refused input leaves no folder behind.
  if (map) {
    std::error_code error;
    std::filesystem::create_directories(map->folder, error);
    if (!std::filesystem::is_directory(map->folder))
      return fail(code::kOutput, "cannot make the folder " + map->folder + (error ? ": " + error.message() : ""));
  }
  std::printf("%s%s\n", batchCsvHeader(module.Fit).c_str(), concentrations ? concentrations->header().c_str() : "");
  // What depends on the table alone is said once: its windows' spill.
  const FitQualityPlan plan(module.Fit);
  for (const FitFlag& spill : plan.spills()) warn(table + ": " + spillFlagText(spill, module.Fit, check.standards));

  // Every core fits files as it reads them; the rows are printed in the
  // order the files were given, each with its path as given. The samples'
  // warnings go to their rows' flags and, once per cause with the count of
  // files, to standard error.
  std::vector<std::string> paths;
  for (qsizetype i = 1; i < files.size(); ++i) paths.push_back(files[i].toLocal8Bit().toStdString());
  std::vector<BatchFileResult> results;
  BatchFileOptions options;
  options.assessQuality = true;
  (void)fitSpectrumFiles(module.Fit, paths, results, options);  // nothing cancels it: it completes
  // The wt% cells of every row, worked out on every core: the solver is
  // shared read-only.
  std::vector<std::string> quantCells(results.size());
  if (concentrations) {
    const size_t workers = std::max(1u, std::thread::hardware_concurrency());
    std::atomic<size_t> next{0};
    std::vector<std::thread> threads;
    for (size_t w = 0; w < workers; ++w)
      threads.emplace_back([&] {
        for (size_t i = next++; i < results.size(); i = next++) quantCells[i] = concentrations->cells(results[i]);
      });
    for (std::thread& t : threads) t.join();
  }
  WarningSummary summary;
  int failures = 0;
  for (size_t i = 0; i < results.size(); ++i) {
    const BatchFileResult& result = results[i];
    const bool read = result.status == BatchFileStatus::Fitted || result.status == BatchFileStatus::NotFitted;
    const std::vector<SampleWarning> warnings =
        read ? sampleWarnings(result.header, result.channels, check.standards) : std::vector<SampleWarning>{};
    summary.add(paths[i], warnings);
    std::printf("%s%s\n", batchCsvRow(paths[i], result, check.standards, warnings).c_str(),
                quantCells[i].c_str());
    if (result.status != BatchFileStatus::Fitted) {
      warn(paths[i] + ": " + batchFailure(result, paths[i]));
      ++failures;
    }
  }
  for (const std::string& line : summary.lines()) warn(line);
  if (map && writeKratioMaps(*map, module.Fit, results) != 0) return kExitFailure;
  if (failures > 0)
    return fail(code::kFit, std::to_string(failures) + " of " + std::to_string(results.size()) +
                                " sample(s) could not be read or fitted");
  return kExitOk;
}

int fitFailure(FitOutcome outcome) {
  switch (outcome) {
    case FitOutcome::Singular:
      return fail(code::kFit,
                  "the standards' fit windows give a singular system (two standards alike, or a window "
                  "without counts)");
    case FitOutcome::NoSample:
      return fail(code::kFit, "the sample has no channels to fit");
    case FitOutcome::NoStandards:
      return fail(code::kRefused, "no standards could be loaded");
    case FitOutcome::Fitted:
      break;
  }
  return kExitOk;
}

}  // namespace

int runXfit(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Fit a sample against the standards of a table (Load Std, then MLSQ Fit).\n"
      "With --batch: TABLE.ref FILE.dat... as CSV, one row per sample.\n"
      "K-ratios are count ratios (sample over standard); kratio_pct_lt is per live time.");
  // Each argument on its own line: Qt wraps a long name inside its column.
  parser.addPositionalArgument("SAMPLE.dat", "The sample's spectrum file (with --batch: TABLE.ref first).");
  parser.addPositionalArgument("TABLE.ref", "The standards table (with --batch: the samples' FILE.dat...).");
  parser.addOption({"json", "Print one JSON object (not with --batch)."});
  parser.addOption({"save", "Write the table with the results (as Save Table; not with --batch).", "OUT.ref"});
  parser.addOption({"batch", "Fit many samples against one table."});
  parser.addOption({"quant", "With --batch: wt% columns by fundamental parameters, under the conditions of "
                             "TABLE.quant beside the table (docs/fundamental_parameters.md)."});
  addMapOptions(parser);
  parser.addOption({"image", "With --batch and --out-dir: K-ratio maps of every pixel of a map file.", "FILE.nxs"});
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  const QStringList files = parser.positionalArguments();
  if (parser.isSet("image")) {
    if (!parser.isSet("batch") || parser.isSet("map") || !parser.isSet("out-dir") || parser.isSet("json") ||
        parser.isSet("save"))
      return usageError("--image goes with --batch TABLE.ref --out-dir DIR (the map file gives the size)");
    if (!expectPositionals(parser, 1, 1, "--batch TABLE.ref --image FILE.nxs --out-dir DIR")) return kExitUsage;
    return runBatchImage(files.front().toLocal8Bit().toStdString(), parser.value("image").toLocal8Bit().toStdString(),
                         parser.value("out-dir").toLocal8Bit().toStdString());
  }
  if (parser.isSet("batch")) {
    if (parser.isSet("json") || parser.isSet("save"))
      return usageError(std::string("--batch writes CSV only; ") + (parser.isSet("json") ? "--json" : "--save") +
                        " is for a single sample");
    if (!expectPositionals(parser, 2, 1 << 30, "--batch TABLE.ref [--map WxH --out-dir DIR] FILE.dat..."))
      return kExitUsage;
    std::optional<MapRequest> map;
    if (const int usage = mapRequestFrom(parser, files.size() - 1, map)) return usage;
    if (const auto stop = refuseXfitOutputs(parser)) return *stop;
    return runBatch(files, map, parser.isSet("quant"));
  }
  if (parser.isSet("map") || parser.isSet("out-dir")) return usageError("--map and --out-dir go with --batch");
  if (parser.isSet("quant")) return usageError("--quant goes with --batch; for one sample, run tolvane-cli quant");
  if (!expectPositionals(parser, 2, 2, "SAMPLE.dat TABLE.ref [--json] [--save OUT.ref]")) return kExitUsage;
  const std::string samplePath = files[0].toLocal8Bit().toStdString();
  const std::string table = files[1].toLocal8Bit().toStdString();
  const std::string out = parser.value("save").toLocal8Bit().toStdString();
  if (const auto stop = refuseXfitOutputs(parser)) return *stop;

  FileSession f;
  Session& s = f.session;
  const SpectrumFileRead sample = readSpectrumPath(samplePath);
  if (sample.outcome == SpectrumFileRead::Outcome::CannotOpen)
    return fail(code::kNotFound, "cannot open " + samplePath + ": " + unreadableReason(samplePath));
  if (!sample.ok()) return fail(code::kRefused, refusedSpectrumMessage(samplePath, sample));
  const StandardsCheck check = checkStandards(table);
  if (const auto stop = refuseStandards(table, check)) return *stop;
  (void)takeSpectrumRead(s, samplePath, sample);  // read and checked above

  // "MLSQ Fit" on the loaded table: the sample's first 4096 channels.
  TDmVQRN& module = s.DataModule;
  const StandardsLoad load = LoadStandardTable(module, table);
  if (!load.loaded()) return refuseLoad(table, load);
  XfitWorkspace& fit = module.Fit;
  const int32_t n = std::clamp(sample.channels, 0, kFitChannels);
  std::fill(fit.SampleCounts.begin(), fit.SampleCounts.end(), 0);
  std::copy_n(sample.counts.begin(), n, fit.SampleCounts.begin());
  fit.SampleChannels = n;
  if (const FitOutcome outcome = RunMlsqFit(module, true, ""); outcome != FitOutcome::Fitted)
    return fitFailure(outcome);
  // Saved before anything is printed: a table that cannot be written (a
  // full disk) leaves standard output empty.
  if (parser.isSet("save") && !SaveStandardTableFile(module.Table, out))
    return fail(code::kOutput, "cannot write " + out);

  const FitQuality quality =
      assessFit(fit, fit.FitCoefficients, fit.FitErrors, fit.SampleCounts.data(), fit.SampleChannels);
  std::vector<std::string> warnings;
  for (const StandardReadAsBlocks& standard : load.readAsBlocks) warnings.push_back(table + ": " + readAsBlocksText(standard));
  for (const SampleWarning& w : sampleWarnings(sample.header, sample.channels, check.standards))
    warnings.push_back(w.text);
  for (const std::string& w : warnings) warn(w);
  EditorView view = initialEditorView();
  fillEditorView(module.Table, false, view);
  std::vector<std::string> standards;
  for (int k = 0; k < fit.FitCount; ++k) {
    const int index = fit.SelectedIndex[static_cast<size_t>(k)];
    const StandardRecord& r = module.Table.Records[static_cast<size_t>(index)];
    const double wt = static_cast<double>(r.kratioPct()) * static_cast<double>(r.cf());
    const std::string& text = view.rows[static_cast<size_t>(index)].kratio;
    const auto perLiveTime = liveTimeKratio(r.kratioPct(), sample, check.standards[static_cast<size_t>(k)]);
    if (parser.isSet("json"))
      standards.push_back(JsonObject()
                              .addNumber("index", index)
                              .addText("element", r.elemName())
                              .addNumber("kratio_pct", r.kratioPct())
                              .addNumber("kratio_err", r.kratioErr())
                              .addNumber("kratio_pct_lt", perLiveTime ? *perLiveTime : std::nan(""))
                              .addNumber("wt_pct", wt)
                              .addText("text", text)
                              .addBool("detected", !quality.notDetected[static_cast<size_t>(k)])
                              .text());
    else
      std::printf("%-7s %s  wt%% %9.2f\n", r.elemName().c_str(), text.c_str(), wt);
  }
  if (parser.isSet("json")) {
    std::vector<std::string> warningTexts;
    for (const std::string& w : warnings) warningTexts.push_back(jsonText(w));
    JsonObject result;
    result.addText("sample", samplePath).add("standards", jsonArray(standards));
    addFitQuality(result, quality, fit);
    std::printf("%s\n", result.add("warnings", jsonArray(warningTexts)).text().c_str());
  } else {
    std::printf("%s\n", fitQualityLine(quality, fit).c_str());
  }
  return kExitOk;
}

}  // namespace tolvane::cli
