// tolvane-cli table: make a standards table without the window, with the
// standards editor's rules: 16 records, element names cut to 7 characters,
// spectrum files named in the table's folder.
#include <cstdio>
#include <filesystem>

#include "cli/cli_common.h"
#include "cli/file_session.h"
#include "cli/json_text.h"
#include "cli/output_file.h"
#include "files/path_name.h"
#include "files/spectrum_file.h"
#include "xfit/standard_table.h"
#include "xfit/standards_check.h"
#include "xfit/standards_editor.h"
#include "xfit/top_hat_filter.h"

namespace tolvane::cli {

namespace {

const char* kUsage = "new|add|show TABLE.ref [options], or wt TABLE.ref INDEX PCT";

// Reads an existing table; prints why and returns false when it cannot.
bool readTable(const std::string& path, StandardTable& table) {
  const StandardsCheck check = checkStandards(path);
  if (check.outcome == StandardsCheck::Outcome::TableNotFound)
    return fail(code::kNotFound, "table not found: " + path + " (" + unreadableReason(path) + ")") == 0;
  if (check.outcome == StandardsCheck::Outcome::NotATable && isFolder(path))
    return fail(code::kNotFound, "cannot open " + path + ": is a folder") == 0;
  if (check.outcome == StandardsCheck::Outcome::NotATable)
    return fail(code::kRefused, path + " is not a table: " + std::to_string(check.tableSize) +
                                    " bytes where a table has " + std::to_string(StandardTable::kFileSize)) == 0;
  return ReadStandardTableFile(table, path) == TableReadOutcome::Read ||
         fail(code::kNotFound, "cannot read " + path) == 0;
}

std::string cfText(float cf) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", static_cast<double>(cf));
  return text;
}

int save(const StandardTable& table, const std::string& path) {
  if (!SaveStandardTableFile(table, path)) return fail(code::kOutput, "cannot write " + path);
  return kExitOk;
}

int runNew(const QCommandLineParser& parser, const std::string& path) {
  if (!expectPositionals(parser, 2, 2, "new TABLE.ref [--force]")) return kExitUsage;
  if (const auto stop = refuseOutput(path, {".ref"}, false, "TABLE")) return *stop;
  if (std::FILE* existing = std::fopen(path.c_str(), "rb")) {
    std::fclose(existing);
    if (!parser.isSet("force")) return fail(code::kOutput, path + " exists; --force replaces it with an empty table");
  }
  if (const int status = save(StandardTable{}, path); status != kExitOk) return status;
  note("wrote an empty table of " + std::to_string(StandardTable::kRecords) + " records to " + path);
  return kExitOk;
}

int runAdd(const QCommandLineParser& parser, const std::string& path) {
  if (!expectPositionals(parser, 2, 2, "add TABLE.ref --element EL --spectrum STD.dat --window LO:HI [--wt PCT]"))
    return kExitUsage;
  for (const char* required : {"element", "spectrum", "window"})
    if (!parser.isSet(required)) return usageError(std::string("--") + required + " is required");
  StandardTable table;
  if (!readTable(path, table)) return kExitFailure;
  if (const auto stop = refuseOutput(path, {".ref"}, false, "TABLE")) return *stop;

  const std::string element = parser.value("element").toStdString();
  if (element.empty() || element.front() == ' ') return usageError("--element needs a name not starting with a blank");
  if (element.size() > StandardRecord::kElemNameSize - 1)
    warn("element name cut to " + std::to_string(StandardRecord::kElemNameSize - 1) + " characters: '" +
         element.substr(0, StandardRecord::kElemNameSize - 1) + "'");

  // The fit looks standards up by file name in the table's folder.
  const std::string spectrum = parser.value("spectrum").toLocal8Bit().toStdString();
  const std::string name = fileNameOf(spectrum);
  if (name.size() > StandardRecord::kSpecFileSize - 1)
    return usageError("--spectrum: a table stores file names of at most " +
                      std::to_string(StandardRecord::kSpecFileSize - 1) + " characters, '" + name + "' has " +
                      std::to_string(name.size()));
  // A bare name is a file in the table's folder; a path must lead there.
  const std::string stored = table.Folder + name;
  std::error_code error;
  if (!folderOf(spectrum).empty() && std::filesystem::exists(spectrum, error) &&
      !std::filesystem::equivalent(spectrum, stored, error))
    return fail(code::kRefused, "the fit looks for standards in the table's folder: " + spectrum + " is not " + stored +
                                    "; copy it there");
  const SpectrumFileRead read = readSpectrumPath(stored);
  if (read.outcome == SpectrumFileRead::Outcome::CannotOpen)
    return fail(code::kNotFound, "the fit looks for standards in the table's folder: cannot open " + stored + " (" +
                                     unreadableReason(stored) + ")");
  if (!read.ok()) return fail(code::kRefused, refusedSpectrumMessage(stored, read));

  const QStringList window = parser.value("window").split(':');
  bool lowOk = false, highOk = false;
  const int low = window.size() == 2 ? window[0].toInt(&lowOk) : 0;
  const int high = window.size() == 2 ? window[1].toInt(&highOk) : 0;
  const int last = std::min(read.channels, kFitChannels) - 1;
  if (!lowOk || !highOk || low < 0 || high <= low || high > last)
    return usageError("--window must be LO:HI with 0 <= LO < HI <= " + std::to_string(last) + ", not '" +
                      parser.value("window").toStdString() + "'");
  const auto wt = numberOption(parser, "wt", 0.0, 100.0, 0.0, "%");
  if (!wt) return kExitUsage;

  int index = -1;
  for (int i = 0; i < StandardTable::kRecords && index < 0; ++i)
    if (table.Records[static_cast<size_t>(i)].empty()) index = i;
  if (index < 0)
    return fail(code::kRefused,
                path + " is full: a table holds " + std::to_string(StandardTable::kRecords) + " standards");
  StandardRecord& r = table.Records[static_cast<size_t>(index)];
  r.setElemName(element);
  r.setSpecFile(name);
  r.setFitLowCh(low);
  r.setFitHighCh(high);
  r.setInUse(1);
  // A new record has no K-ratio yet, so its Cf cannot follow the wt%.
  if (parser.isSet("wt") &&
      SetChemicalWtPercent(table, index, static_cast<float>(*wt)) == WtPercentOutcome::NoKRatio)
    warn("--wt is kept as the record's wt%, but its correction factor stays " + cfText(r.cf()) +
         " until the record has a K-ratio: fit the reference sample with xfit REF.dat " + path + " --save " + path +
         ", then give its wt% with table wt " + path + " " + std::to_string(index) + " PCT");
  if (const int status = save(table, path); status != kExitOk) return status;
  std::printf("%d\n", index);
  return kExitOk;
}

// The reference sample's certified wt% of one record: Cf = wt% / the
// record's last fitted K-ratio, as typing the wt% in the standards editor.
int runWt(const QCommandLineParser& parser, const std::string& path) {
  if (!expectPositionals(parser, 4, 4, "wt TABLE.ref INDEX PCT")) return kExitUsage;
  const QStringList words = parser.positionalArguments();
  bool indexOk = false, pctOk = false;
  const int index = words[2].toInt(&indexOk);
  const double pct = words[3].toDouble(&pctOk);
  if (!indexOk || index < 0 || index >= StandardTable::kRecords)
    return usageError("INDEX must be a record number from 0 to " + std::to_string(StandardTable::kRecords - 1) +
                      ", not '" + words[2].toStdString() + "'");
  if (!pctOk || !(pct > 0.0) || pct > 100.0)
    return usageError("PCT must be a wt% above 0 and at most 100, not '" + words[3].toStdString() + "'");
  StandardTable table;
  if (!readTable(path, table)) return kExitFailure;
  if (const auto stop = refuseOutput(path, {".ref"})) return *stop;
  StandardRecord& r = table.Records[static_cast<size_t>(index)];
  if (r.empty()) return fail(code::kRefused, "record " + std::to_string(index) + " of " + path + " is empty");
  const float kratio = r.kratioPct();
  if (SetChemicalWtPercent(table, index, static_cast<float>(pct)) != WtPercentOutcome::CfSet)
    return fail(code::kRefused,
                "record " + std::to_string(index) + " (" + r.elemName() + ") has " +
                    (kratio == 0.0f ? std::string("no K-ratio yet")
                                    : "a K-ratio of " + jsonNumber(kratio) + " %, which gives no correction factor") +
                    ": fit the reference sample first (xfit REF.dat " + path + " --save " + path +
                    "); the table is unchanged");
  if (const int status = save(table, path); status != kExitOk) return status;
  if (parser.isSet("json"))
    std::printf("%s\n", JsonObject()
                            .addNumber("index", index)
                            .addText("element", r.elemName())
                            .addNumber("wt_pct", r.wtper())
                            .addNumber("kratio_pct", r.kratioPct())
                            .addNumber("cf", r.cf())
                            .text()
                            .c_str());
  else
    std::printf("%d %s: Cf %s = %s wt%% / K-ratio %s %%\n", index, r.elemName().c_str(), cfText(r.cf()).c_str(),
                jsonNumber(r.wtper()).c_str(), jsonNumber(r.kratioPct()).c_str());
  return kExitOk;
}

int runShow(const QCommandLineParser& parser, const std::string& path) {
  if (!expectPositionals(parser, 2, 2, "show TABLE.ref [--json]")) return kExitUsage;
  StandardTable table;
  if (!readTable(path, table)) return kExitFailure;
  EditorView view = initialEditorView();
  fillEditorView(table, false, view);
  std::vector<std::string> records;
  for (int i = 0; i < StandardTable::kRecords; ++i) {
    const StandardRecord& r = table.Records[static_cast<size_t>(i)];
    if (r.empty()) continue;
    if (parser.isSet("json")) {
      records.push_back(JsonObject()
                            .addNumber("index", i)
                            .addBool("in_use", r.inUse() == 1)
                            .addText("element", r.elemName())
                            .addText("spectrum", r.specFile())
                            .addNumber("low", r.fitLowCh())
                            .addNumber("high", r.fitHighCh())
                            .addNumber("wt_pct", r.wtper())
                            .addNumber("cf", r.cf())
                            .addNumber("kratio_pct", r.kratioPct())
                            .addNumber("kratio_err", r.kratioErr())
                            .text());
    } else {
      const EditorRow& row = view.rows[static_cast<size_t>(i)];
      std::printf("%2d %s %-7s %-31s %5d:%-5d wt%% %8.3f Cf %s K %s\n", i, r.inUse() == 1 ? "*" : " ",
                  r.elemName().c_str(), r.specFile().c_str(), r.fitLowCh(), r.fitHighCh(),
                  static_cast<double>(r.wtper()), row.cf.c_str(), row.kratio.c_str());
    }
  }
  if (parser.isSet("json"))
    std::printf("%s\n", JsonObject().addText("table", path).add("standards", jsonArray(records)).text().c_str());
  return kExitOk;
}

}  // namespace

int runTable(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Make and show a standards table (.ref) without the window.\n"
      "  new TABLE.ref [--force]        an empty table of 16 records\n"
      "  add TABLE.ref --element EL --spectrum STD.dat --window LO:HI [--wt PCT]\n"
      "                                 the next free record; prints its index (0..15)\n"
      "  show TABLE.ref [--json]        the records that are not empty\n"
      "  wt TABLE.ref INDEX PCT [--json]\n"
      "                                 the reference sample's wt% of record INDEX: Cf = PCT / the record's\n"
      "                                 last fitted K-ratio (fit the reference sample with xfit --save first)");
  parser.addPositionalArgument("ACTION TABLE.ref", "new, add, show or wt, and the table file.");
  parser.addOption({"element", "Element name (cut to 7 characters).", "EL"});
  parser.addOption(
      {"spectrum", "The standard's spectrum file: a name in the table's folder, or a path to it.", "STD.dat"});
  parser.addOption({"window", "Fit window in channels, LO:HI.", "LO:HI"});
  parser.addOption({"wt", "Chemical wt% of the element in the standard (0 to 100).", "PCT"});
  parser.addOption({"force", "With new: replace an existing file."});
  parser.addOption({"json", "With show and wt: print one JSON object."});
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  if (!expectPositionals(parser, 2, 4, kUsage)) return kExitUsage;
  const QString action = parser.positionalArguments().at(0);
  const std::string path = parser.positionalArguments().at(1).toLocal8Bit().toStdString();
  const bool adding = action == "add";
  if (!adding)
    for (const char* option : {"element", "spectrum", "window", "wt"})
      if (parser.isSet(option)) return usageError(std::string("--") + option + " is for table add");
  if (action != "new" && parser.isSet("force")) return usageError("--force is for table new");
  if (action != "show" && action != "wt" && parser.isSet("json"))
    return usageError("--json is for table show and table wt");
  if (action == "new") return runNew(parser, path);
  if (adding) return runAdd(parser, path);
  if (action == "show") return runShow(parser, path);
  if (action == "wt") return runWt(parser, path);
  return usageError("unknown table action '" + action.toStdString() + "' (new, add, show or wt)");
}

}  // namespace tolvane::cli
