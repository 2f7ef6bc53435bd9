#include "xfit/table_file_dialog.h"

namespace tolvane {

namespace {
const char* const kTableFilter = "Std Reference(*.ref)";
const char* const kSpectrumFilter = "MCA Data(*.dat)";
}  // namespace

std::unique_ptr<QFileDialog> newTableOpenDialog(QWidget* parent) {
  auto dialog = std::make_unique<QFileDialog>(parent);
  dialog->setNameFilters({kTableFilter, kSpectrumFilter});
  dialog->selectNameFilter(kTableFilter);
  dialog->setDefaultSuffix("ref");
  dialog->setFileMode(QFileDialog::AnyFile);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  QFileDialog* d = dialog.get();
  QObject::connect(d, &QFileDialog::filterSelected, d,
                   [d](const QString& filter) { d->setDefaultSuffix(filter == kSpectrumFilter ? "dat" : "ref"); });
  return dialog;
}

QString chooseTableOpenPath(QWidget* parent) {
  const auto dialog = newTableOpenDialog(parent);
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return {};
  return dialog->selectedFiles().front();
}

}  // namespace tolvane
