#include "app/calibration_lines_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "handlers/calibration_lines_handlers.h"

namespace tolvane {

CalibrationLinesDialog::CalibrationLinesDialog(Actions actions, QWidget* parent)
    : QDialog(parent), actions_(std::move(actions)) {
  setObjectName("CalibrationLines");
  setWindowTitle("Calibration from lines");
  const LinesCalibrationSetup& setup = actions_.setup();
  lines_ = new QLineEdit(QString::fromStdString(setup.LineList), this);
  lines_->setObjectName("CalibLinesEdit");
  lines_->setToolTip("Known lines of the spectrum, e.g. Mn Ka, Cu Ka, Zr La");
  quadratic_ = new QCheckBox("Quadratic", this);
  quadratic_->setObjectName("CalibQuadratic");
  quadratic_->setChecked(setup.Quadratic);
  calibrate_ = new QPushButton("Calibrate", this);
  calibrate_->setObjectName("CalibFromLines");
  undo_ = new QPushButton("Undo", this);
  undo_->setObjectName("CalibUndo");

  table_ = new QTableWidget(0, 6, this);
  table_->setObjectName("CalibResiduals");
  table_->setHorizontalHeaderLabels({"Line", "Channel", "keV", "Fitted keV", "Residual eV", ""});
  table_->verticalHeader()->setVisible(false);
  table_->horizontalHeader()->setStretchLastSection(true);
  summary_ = new QLabel(this);
  summary_->setObjectName("CalibSummary");
  summary_->setWordWrap(true);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(calibrate_, &QPushButton::clicked, this, [this] {
    actions_.calibrate(lines_->text().toStdString(), quadratic_->isChecked());
    showSetup();
  });
  connect(undo_, &QPushButton::clicked, this, [this] {
    actions_.undo();
    showSetup();
  });

  auto* entry = new QHBoxLayout;
  entry->addWidget(lines_, 1);
  entry->addWidget(quadratic_);
  entry->addWidget(calibrate_);
  entry->addWidget(undo_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(entry);
  layout->addWidget(table_);
  layout->addWidget(summary_);
  layout->addWidget(buttons);
  resize(560, 320);
  showSetup();
}

void CalibrationLinesDialog::showSetup() {
  const LinesCalibrationSetup& setup = actions_.setup();
  undo_->setEnabled(!setup.Undo.empty());
  const std::vector<CalibrationTableRow> rows = setup.Last ? calibrationTable(*setup.Last) : std::vector<CalibrationTableRow>{};
  table_->setRowCount(static_cast<int>(rows.size()));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    for (int c = 0; c < 6; ++c) {
      auto* item = new QTableWidgetItem(QString::fromStdString(rows[static_cast<size_t>(r)][static_cast<size_t>(c)]));
      item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
      if (c >= 1 && c <= 4) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      if (rows[static_cast<size_t>(r)][5] == "does not fit") item->setForeground(Qt::red);
      table_->setItem(r, c, item);
    }
  }
  table_->resizeColumnsToContents();
  summary_->setText(QString::fromStdString(actions_.status()));
}

}  // namespace tolvane
