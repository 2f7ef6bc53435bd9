#pragma once
// TZORVSetUp: the mapping scan's setup dialog. The element-mapping
// controls (map size, ROI #1 .. #8, Skip Blank) are enabled while "X-ray
// Mapping ON" is checked.
#include <QDialog>
#include <array>
#include <functional>

#include "handlers/scan_setup_handlers.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace tolvane {

class TZORVSetUp final : public QDialog {
 public:
  TZORVSetUp(const ScanSetupFields& fields, QWidget* parent);
  ScanSetupFields fields() const;

  // The file dialog behind "Save Spectrum Data"; empty result = cancelled.
  std::function<QString()> chooseSavePath;

  QRadioButton *MemSize512, *MemSize1024, *MemSize2048;
  QLineEdit *ZORVPreSetTime, *DispRefTimer, *Edit3;
  QCheckBox* SaveRawData;
  QCheckBox *ElementMapON, *ScanSkipOption;
  QLineEdit *XMapSize, *YMapSize;
  std::array<QCheckBox*, 8> MapROI{};

 private:
  void SaveRawDataClick();
  QString savePath_;
};

bool runScanSetupDialog(QWidget* parent, ScanSetupFields& fields);

}  // namespace tolvane
