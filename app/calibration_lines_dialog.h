#pragma once
// "Lines..." of the calibration page: the list of known lines, the
// quadratic box, "Calibrate", the residual table of the last calibration
// and "Undo". The dialog only shows; the window's actions do the work.
#include <QDialog>
#include <functional>
#include <string>

#include "lines/calibration_lines.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace tolvane {

class CalibrationLinesDialog final : public QDialog {
 public:
  struct Actions {
    std::function<void(const std::string& lines, bool quadratic)> calibrate;
    std::function<void()> undo;
    // What to show after each: the setup and the status field's text.
    std::function<const LinesCalibrationSetup&()> setup;
    std::function<std::string()> status;
  };
  explicit CalibrationLinesDialog(Actions actions, QWidget* parent = nullptr);

  QLineEdit* linesEdit() const { return lines_; }
  QCheckBox* quadraticBox() const { return quadratic_; }
  QPushButton* calibrateButton() const { return calibrate_; }
  QPushButton* undoButton() const { return undo_; }
  QTableWidget* table() const { return table_; }
  QLabel* summary() const { return summary_; }

 private:
  void showSetup();

  Actions actions_;
  QLineEdit* lines_ = nullptr;
  QCheckBox* quadratic_ = nullptr;
  QPushButton* calibrate_ = nullptr;
  QPushButton* undo_ = nullptr;
  QTableWidget* table_ = nullptr;
  QLabel* summary_ = nullptr;
};

}  // namespace tolvane
