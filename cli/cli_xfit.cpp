// tolvane-cli xfit: "Load Std" and "MLSQ Fit" on spectrum files; with
// --batch, many samples against one loaded table, as CSV.
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <thread>
#include <vector>

#include "cli/cli_common.h"
#include "cli/cli_fit_quality.h"
#include "cli/file_session.h"
#include "files/spectrum_file.h"
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

// The sample's counts as File > Read takes them; false when refused.
bool readCounts(const std::string& path, std::vector<int32_t>& counts, int32_t& channels) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  SpectrumFileHeader header;
  channels = decodeSpectrumFile(in, header, counts.data(), static_cast<int>(counts.size()));
  return channels > 0 && channels == header.channelCount();
}

// One sample's CSV cells after its file name: K-ratio and error per
// standard, or empty cells when it could not be read or fitted.
std::string batchRow(XfitBatch& batch, const XfitWorkspace& loaded, const std::string& path,
                     std::vector<int32_t>& counts, bool& ok) {
  std::array<double, kMaxStandards> coefficients{}, errors{};
  int32_t channels = 0;
  ok = readCounts(path, counts, channels) && batch.fit(counts.data(), channels, coefficients, errors);
  const FitQuality quality = ok ? assessFit(loaded, coefficients, errors, counts.data(), channels) : FitQuality{};
  std::string row;
  char cell[64];
  for (int k = 0; k < batch.standards(); ++k) {
    if (!ok) {
      row += ",,";
      continue;
    }
    std::snprintf(cell, sizeof cell, ",%.9g,%.9g",
                  static_cast<double>(static_cast<float>(coefficients[static_cast<size_t>(k)] * 100)),
                  static_cast<double>(static_cast<float>(errors[static_cast<size_t>(k)])));
    row += cell;
  }
  return row + fitQualityCells(quality);
}

int runBatch(const QStringList& files) {
  FileSession f;
  TDmVQRN& module = f.session.DataModule;
  const std::string table = files.front().toLocal8Bit().toStdString();
  if (LoadStandardTable(module, table) == 0) return printError("cannot load the standards of " + table);
  std::printf("file");
  for (int k = 0; k < module.Fit.FitCount; ++k) {
    const std::string element = module.Fit.SelectedCopy[static_cast<size_t>(k)].elemName();
    std::printf(",%s_kratio_pct,%s_kratio_err", element.c_str(), element.c_str());
  }
  std::printf("%s\n", kFitQualityColumns);

  // Both cores: each worker has its own kernel and takes every other file;
  // the rows are printed in the order the files were given.
  const size_t samples = static_cast<size_t>(files.size() - 1);
  std::vector<std::string> rows(samples);
  std::vector<char> fitted(samples, 0);
  const unsigned workers = std::clamp(std::thread::hardware_concurrency(), 1u, 2u);
  std::vector<std::thread> threads;
  for (unsigned w = 0; w < workers; ++w)
    threads.emplace_back([&, w] {
      XfitBatch batch(module.Fit);
      std::vector<int32_t> counts(kFileBlockChannels * kFileMaxBlocks);
      for (size_t i = w; i < samples; i += workers) {
        bool ok = false;
        rows[i] =
            batchRow(batch, module.Fit, files[static_cast<qsizetype>(i + 1)].toLocal8Bit().toStdString(), counts, ok);
        fitted[i] = ok;
      }
    });
  for (auto& t : threads) t.join();
  int failures = 0;
  for (size_t i = 0; i < samples; ++i) {
    std::printf("%s%s\n", QFileInfo(files[static_cast<qsizetype>(i + 1)]).fileName().toLocal8Bit().constData(),
                rows[i].c_str());
    failures += fitted[i] ? 0 : 1;
  }
  if (failures > 0) std::fprintf(stderr, "tolvane-cli: %d sample(s) could not be read or fitted\n", failures);
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
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? 0 : 2;
  const QStringList files = parser.positionalArguments();
  if (parser.isSet("batch")) {
    if (files.size() < 2) return printError("--batch takes TABLE.ref and one or more spectrum files");
    return runBatch(files);
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
              ", \"text\": " + jsonText(text) +
              ", \"detected\": " + (s.XfitQuality.notDetected[static_cast<size_t>(k)] ? "false" : "true") + "}";
    } else {
      std::printf("%-7s %s  wt%% %9.2f\n", r.elemName().c_str(), text.c_str(), wt);
    }
  }
  if (parser.isSet("json"))
    std::printf("%s], %s}\n", json.c_str(), fitQualityJson(s.XfitQuality, module.Fit).c_str());
  else
    std::printf("%s\n", fitQualityLine(s.XfitQuality, module.Fit).c_str());
  if (parser.isSet("save")) {
    const std::string out = parser.value("save").toLocal8Bit().toStdString();
    if (!SaveStandardTableFile(module.Table, out)) return printError("cannot write " + out);
  }
  return 0;
}

}  // namespace tolvane::cli
