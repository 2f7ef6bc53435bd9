#pragma once
// The peak list: each found peak with its energy, net area, width and best
// candidate lines, the proposed elements, and a button that puts them into
// the "Lines" field.
#include <QDialog>

#include "lines/spectrum_lines.h"

class QPushButton;
class QTableWidget;

namespace tolvane {

class PeakListDialog final : public QDialog {
 public:
  PeakListDialog(const SpectrumLinesResult& result, QWidget* parent = nullptr);

  QTableWidget* table() const { return table_; }
  QPushButton* useElementsButton() const { return useElements_; }

 private:
  QTableWidget* table_ = nullptr;
  QPushButton* useElements_ = nullptr;
};

}  // namespace tolvane
