// tolvane-cli xfit: "Load Std" and "MLSQ Fit" on spectrum files; with
// --batch, many samples against one loaded table, as CSV.
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "cli/cli_common.h"
#include "cli/cli_xfit_map.h"
#include "cli/file_session.h"
#include "files/spectrum_file.h"
#include "xfit/batch_files.h"
#include "xfit/standards_editor.h"
#include "xfit/xfit_commands.h"

namespace tolvane::cli {

namespace {

std::string jsonText(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (static_cast<unsigned char>(c) < 0x20) continue;
    out += c;
  }
  return out + "\"";
}

// One sample's CSV cells after its file name: K-ratio and error per
// standard, or empty cells when it could not be read or fitted.
std::string batchRow(const BatchFileResult& result, int standards) {
  std::string row;
  char cell[64];
  for (int k = 0; k < standards; ++k) {
    if (result.status != BatchFileStatus::Fitted) {
      row += ",,";
      continue;
    }
    std::snprintf(cell, sizeof cell, ",%.9g,%.9g",
                  static_cast<double>(static_cast<float>(result.fit.coefficients[static_cast<size_t>(k)] * 100)),
                  static_cast<double>(static_cast<float>(result.fit.errors[static_cast<size_t>(k)])));
    row += cell;
  }
  return row;
}

int runBatch(const QStringList& files, const std::optional<MapRequest>& map) {
  FileSession f;
  TDmVQRN& module = f.session.DataModule;
  const std::string table = files.front().toLocal8Bit().toStdString();
  if (LoadStandardTable(module, table) == 0) return printError("cannot load the standards of " + table);
  std::printf("file");
  for (int k = 0; k < module.Fit.FitCount; ++k) {
    const std::string element = module.Fit.SelectedCopy[static_cast<size_t>(k)].elemName();
    std::printf(",%s_kratio_pct,%s_kratio_err", element.c_str(), element.c_str());
  }
  std::printf("\n");

  // Every core fits files as it reads them; the rows are printed in the
  // order the files were given.
  std::vector<std::string> paths;
  for (qsizetype i = 1; i < files.size(); ++i) paths.push_back(files[i].toLocal8Bit().toStdString());
  std::vector<BatchFileResult> results;
  fitSpectrumFiles(module.Fit, paths, results);
  int failures = 0;
  for (size_t i = 0; i < results.size(); ++i) {
    std::printf("%s%s\n", QFileInfo(files[static_cast<qsizetype>(i + 1)]).fileName().toLocal8Bit().constData(),
                batchRow(results[i], module.Fit.FitCount).c_str());
    failures += results[i].status == BatchFileStatus::Fitted ? 0 : 1;
  }
  if (failures > 0) std::fprintf(stderr, "tolvane-cli: %d sample(s) could not be read or fitted\n", failures);
  if (map && writeKratioMaps(*map, module.Fit, results) != 0) return 1;
  return failures > 0 ? 1 : 0;
}

}  // namespace

int runXfit(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Fit a sample against the standards of a table (Load Std, then MLSQ Fit).\n"
      "With --batch: TABLE.ref FILE.dat... as CSV, one row per sample.");
  parser.addPositionalArgument("files", "SAMPLE.dat TABLE.ref, or with --batch TABLE.ref FILE.dat...");
  parser.addOption({"json", "Print one JSON object."});
  parser.addOption({"save", "Write the table with the results (as Save Table).", "OUT.ref"});
  parser.addOption({"batch", "Fit many samples against one table."});
  addMapOptions(parser);
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? 0 : 2;
  const QStringList files = parser.positionalArguments();
  if (parser.isSet("batch")) {
    if (files.size() < 2) return printError("--batch takes TABLE.ref and one or more spectrum files");
    std::optional<MapRequest> map;
    if (const int usage = mapRequestFrom(parser, files.size() - 1, map)) return usage;
    return runBatch(files, map);
  }
  if (files.size() != 2) return printError("xfit takes SAMPLE.dat TABLE.ref");

  FileSession f;
  Session& s = f.session;
  if (!readSpectrum(s, files[0].toLocal8Bit().toStdString())) return 1;
  LoadStdClick(s, files[1].toLocal8Bit().toStdString());
  if (s.StandardsLoaded != 1) return printError("cannot load the standards of " + files[1].toStdString());
  s.Texts.Edit1.clear();
  MLSQfitClick(
      s, [] { return std::string(); }, [] { return false; });
  if (!s.Texts.Edit1.empty()) return printError(s.Texts.Edit1);

  const TDmVQRN& module = s.DataModule;
  EditorView view = initialEditorView();
  fillEditorView(module.Table, false, view);
  std::string json = "{\"sample\": " + jsonText(s.Working.Name) + ", \"standards\": [";
  for (int k = 0; k < module.Fit.FitCount; ++k) {
    const int index = module.Fit.SelectedIndex[static_cast<size_t>(k)];
    const StandardRecord& r = module.Table.Records[static_cast<size_t>(index)];
    const double wt = static_cast<double>(r.kratioPct()) * static_cast<double>(r.cf());
    const std::string& text = view.rows[static_cast<size_t>(index)].kratio;
    if (parser.isSet("json")) {
      char wtText[32];
      std::snprintf(wtText, sizeof wtText, "%.9g", wt);
      json += std::string(k ? ", " : "") + "{\"index\": " + std::to_string(index) +
              ", \"element\": " + jsonText(r.elemName()) + ", \"kratio_pct\": " + jsonNumber(r.kratioPct()) +
              ", \"kratio_err\": " + jsonNumber(r.kratioErr()) + ", \"wt_pct\": " + wtText +
              ", \"text\": " + jsonText(text) + "}";
    } else {
      std::printf("%-7s %s  wt%% %9.2f\n", r.elemName().c_str(), text.c_str(), wt);
    }
  }
  if (parser.isSet("json")) std::printf("%s]}\n", json.c_str());
  if (parser.isSet("save")) {
    const std::string out = parser.value("save").toLocal8Bit().toStdString();
    if (!SaveStandardTableFile(module.Table, out)) return printError("cannot write " + out);
  }
  return 0;
}

}  // namespace tolvane::cli
