#pragma once
// Help > About: the program's name and version, closed with OK.
#include <QDialog>

namespace tolvane {

class TMcaAbout final : public QDialog {
 public:
  explicit TMcaAbout(QWidget* parent = nullptr);
};

}  // namespace tolvane
