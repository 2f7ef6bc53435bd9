#pragma once
// What the standards editor shows, row by row, and what typing a wt% does.
#include <array>
#include <string>

namespace tolvane {

struct StandardTable;
struct FitQuantification;

struct EditorRow {
  bool checked = false;  // InUse is exactly 1
  std::string caption;   // "Std No. 1" until the record names an element
  std::string kratio;    // "%9.2f  +/-%9.3f"
  std::string cf;        // "%8.3f"
  std::string file;
  std::string fpWt;  // wt% by fundamental parameters "%.3f +/-%.3f", "not excited", or empty
};

struct EditorView {
  std::string header;  // the table label
  std::string kratioHeader = "K-Ratio";
  std::array<EditorRow, 16> rows;
};

// The rows as a new dialog starts them: the controls' own names.
EditorView initialEditorView();
// Fills `view` from the table; rows of empty records keep their texts.
// With `wtDisplay` the K-ratio column shows K-ratio x Cf and error x Cf.
void fillEditorView(const StandardTable& table, bool wtDisplay, EditorView& view);
// The FP wt% column from the last quantification of a fit: the row of
// each measured standard's record shows its wt% and error (three standard
// deviations, as the K-ratio's), or "not excited"; every other row is
// empty, as all are when there is no result.
void fillFpColumn(const FitQuantification& quant, EditorView& view);
// The analyst typed `text` into row `row`'s wt% edit: a number sets Wtper
// and Cf; anything else changes nothing. Without a positive K-ratio (no fit
// yet, or a negative one) the number is still kept as Wtper, Cf stays as it
// was and nothing is said: the analyst is typing, and a message on every
// keystroke would interrupt. The decimal point is '.' or the window's
// locale separator `decimalSeparator`.
void StdWtperChange(StandardTable& table, int row, const std::string& text, char decimalSeparator = '.');

}  // namespace tolvane
