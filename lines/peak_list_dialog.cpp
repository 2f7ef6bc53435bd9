#include "lines/peak_list_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tolvane {

namespace {

QTableWidgetItem* cell(const QString& text, bool number = true) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  if (number) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

}  // namespace

PeakListDialog::PeakListDialog(const SpectrumLinesResult& result, QWidget* parent) : QDialog(parent) {
  setObjectName("PeakList");
  setWindowTitle("Peaks");
  const Identification& id = result.identification;
  table_ = new QTableWidget(static_cast<int>(id.peaks.size()), 6, this);
  table_->setObjectName("PeakTable");
  table_->setHorizontalHeaderLabels({"Channel", "keV", "Net", "±", "FWHM eV", "Candidates"});
  table_->verticalHeader()->setVisible(false);
  for (int row = 0; row < static_cast<int>(id.peaks.size()); ++row) {
    const PeakIdentity& p = id.peaks[static_cast<size_t>(row)];
    QStringList names;
    for (size_t i = 0; i < p.candidates.size() && i < 4; ++i) {
      const XrayLine& l = p.candidates[i].line;
      names << QString("%1 %2").arg(QString::fromStdString(l.element), QString::fromStdString(l.name));
    }
    table_->setItem(row, 0, cell(QString::number(p.peak.channel, 'f', 1)));
    table_->setItem(row, 1, cell(QString::number(p.peak.energyKev, 'f', 3)));
    table_->setItem(row, 2, cell(QString::number(p.peak.net, 'f', 0)));
    table_->setItem(row, 3, cell(QString::number(p.peak.netError, 'f', 0)));
    table_->setItem(row, 4, cell(QString::number(p.peak.fwhmKev * 1000.0, 'f', 0)));
    table_->setItem(row, 5, cell(names.join(", "), false));
  }
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->resizeColumnsToContents();

  QStringList elements;
  for (int z : id.elements) elements << QString::fromStdString(elementSymbol(z));
  auto* proposed = new QLabel("Elements: " + (elements.isEmpty() ? QString("none") : elements.join(" ")), this);
  proposed->setObjectName("ProposedElements");

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  useElements_ = buttons->addButton("Use elements", QDialogButtonBox::AcceptRole);
  useElements_->setObjectName("UseElements");
  useElements_->setEnabled(!elements.isEmpty());
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_);
  layout->addWidget(proposed);
  layout->addWidget(buttons);
  resize(560, 360);
}

}  // namespace tolvane
