#include "xfit/standards_editor.h"

#include <cstdio>

#include "records/text_number.h"
#include "xfit/fit_quantification.h"
#include "xfit/standard_table.h"

namespace tolvane {

EditorView initialEditorView() {
  EditorView view;
  view.header = "StdTable Filename";
  for (int i = 0; i < 16; ++i) {
    EditorRow& row = view.rows[static_cast<size_t>(i)];
    char caption[16];
    std::snprintf(caption, sizeof caption, "Std No.%2d", i + 1);
    row.caption = caption;
    const std::string n = std::to_string(i + 1);
    row.kratio = "Std" + n + "Kratio";
    row.cf = "Std" + n + "Cf";
    row.file = "Std" + n + "FileName";
  }
  return view;
}

void fillEditorView(const StandardTable& table, bool wtDisplay, EditorView& view) {
  view.header = table.TableLabel;
  view.kratioHeader = wtDisplay ? "Wt %" : "K-Ratio";
  for (int i = 0; i < StandardTable::kRecords; ++i) {
    const StandardRecord& r = table.Records[static_cast<size_t>(i)];
    EditorRow& row = view.rows[static_cast<size_t>(i)];
    row.checked = r.inUse() == 1;
    if (r.empty()) continue;
    row.caption = r.elemName();
    row.file = r.specFile();
    char text[64];
    std::snprintf(text, sizeof text, "%8.3f", static_cast<double>(r.cf()));
    row.cf = text;
    const double factor = wtDisplay ? static_cast<double>(r.cf()) : 1.0;
    std::snprintf(text, sizeof text, "%9.2f  +/-%9.3f", static_cast<double>(r.kratioPct()) * factor,
                  static_cast<double>(r.kratioErr()) * factor);
    row.kratio = text;
  }
}

void fillFpColumn(const FitQuantification& quant, EditorView& view) {
  for (EditorRow& row : view.rows) row.fpWt.clear();
  if (!quant.result) return;
  for (size_t k = 0; k < quant.records.size() && k < quant.result->elements.size(); ++k) {
    const int record = quant.records[k];
    if (record < 0 || record >= StandardTable::kRecords) continue;
    const QuantElementResult& e = quant.result->elements[k];
    char text[64];
    if (e.fraction)
      std::snprintf(text, sizeof text, "%.3f +/-%.3f", *e.fraction * 100.0, e.fractionError * 100.0);
    else
      std::snprintf(text, sizeof text, "not excited");
    view.rows[static_cast<size_t>(record)].fpWt = text;
  }
}

void StdWtperChange(StandardTable& table, int row, const std::string& text, char decimalSeparator) {
  // The outcome is not shown: Wtper is kept whatever the K-ratio.
  if (const auto value = parseFloat(text, decimalSeparator)) (void)SetChemicalWtPercent(table, row, *value);
}

}  // namespace tolvane
