#pragma once
// The data module's dialog for choosing a standards table (or a spectrum)
// to load.
#include <QFileDialog>
#include <memory>

namespace tolvane {

// The name may be new: the table's label names the chosen file even when
// it cannot be read. A name typed without an extension gets the selected
// filter's (".ref" unless the spectrum filter is chosen).
std::unique_ptr<QFileDialog> newTableOpenDialog(QWidget* parent);

// Shows that dialog modally; an empty result means it was cancelled.
QString chooseTableOpenPath(QWidget* parent);

}  // namespace tolvane
