#pragma once
// The Xfit page's "Quant" window: the excitation and geometry the table's
// conditions file holds, editable and saved back beside the table, and the
// last fit's wt% by fundamental parameters with their errors, the total
// and whether the iteration converged. It stays open beside the main
// window; "Quantify" applies the setup and quantifies the fit again.
#include <QDialog>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace tolvane {

struct FitQuantState;

class QuantDialog final : public QDialog {
 public:
  QuantDialog(FitQuantState& state, QWidget* parent);

  // Quantifies the fit again with state.Conditions (the window's "Quant").
  std::function<void()> requantify;

  // Fills the setup from the conditions and the table from the result.
  void showState();

  enum Column { ElementColumn, LineColumn, KratioColumn, WtColumn, ErrorColumn, NoteColumn };

  QComboBox *Source, *Line;
  QLineEdit *Anode, *Kilovolts, *Window, *TubeIn, *TubeOut, *Incidence, *Takeoff, *Balance;
  QPushButton *Quantify, *SaveConditions;
  QTableWidget* Results;
  QLabel *Total, *Converged, *Message, *ConditionsFile;

 private:
  // The setup's fields over the current conditions; false with the reason
  // shown when a field is not understood (nothing changes then).
  bool applySetup();
  void showTubeFields();
  FitQuantState& state_;
};

}  // namespace tolvane
