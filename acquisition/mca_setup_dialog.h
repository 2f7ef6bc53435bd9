#pragma once
// TVEXA1SetUp: the MCA setup dialog. Shows McaSetupFields and hands back
// what the user left in them.
#include <QDialog>

#include "handlers/mca_setup_handlers.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace tolvane {

class TVEXA1SetUp final : public QDialog {
 public:
  TVEXA1SetUp(const McaSetupFields& fields, QWidget* parent);
  McaSetupFields fields() const;

  QRadioButton *m256ch, *m512ch, *m1024ch, *m2048ch, *m4096ch;
  QLineEdit *PresetRT, *DeadTime, *SpcLabel1, *SpcLabel2;
  QCheckBox* PrecisionOn;
  QLineEdit *PrecisionRoi, *PrecisionPct;
};

// Runs the dialog modally over `parent`; returns whether it ended with OK.
bool runMcaSetupDialog(QWidget* parent, McaSetupFields& fields);

}  // namespace tolvane
