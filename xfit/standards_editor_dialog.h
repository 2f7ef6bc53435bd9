#pragma once
// TEditStd: the standards editor, one row per standard. Every accepted wt%
// keystroke changes the table at once; OK and Cancel only close.
#include <QDialog>
#include <array>
#include <functional>
#include <string>

#include "xfit/standards_editor.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace tolvane {

struct StandardTable;

struct FitQuantification;

class TEditStd final : public QDialog {
 public:
  // `quant`: the fit's wt% by fundamental parameters for the FP column
  // (empty without one).
  TEditStd(StandardTable& table, QWidget* parent, const FitQuantification* quant = nullptr);

  // The save dialog behind "Save Table"; empty = cancelled.
  std::function<QString()> chooseSavePath;
  // Called with the path after "Save Table" wrote the table there.
  std::function<void(const std::string&)> tableSaved;

  struct RowControls {
    QCheckBox* StdNo;
    QLineEdit *Kratio, *Wtper, *Cf, *FileName;
    QLineEdit* FpWt;  // read only
  };
  std::array<RowControls, 16> Rows;
  QLabel *Kratio, *StdTableFile;
  QCheckBox* WtperON;
  QWidget* Panel1 = nullptr;

 protected:
  // Only the right-hand panel follows the right edge.
  void resizeEvent(QResizeEvent* event) override;

 private:
  void FormCreate();  // fills the rows from the table
  StandardTable& table_;
  const FitQuantification* quant_;
  EditorView view_ = initialEditorView();
};

// Shows the editor modally; returns whether it ended with OK.
// `tableSaved` as TEditStd's.
bool runStandardsEditor(QWidget* parent, StandardTable& table, const FitQuantification* quant = nullptr,
                        std::function<void(const std::string&)> tableSaved = {});

}  // namespace tolvane
