#include "acquisition/scan_setup_dialog.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "handlers/save_raw_data.h"
#include "app/caption_fit_gui.h"

namespace tolvane {

namespace {

template <typename W>
W* at(W* widget, const char* name, int x, int y, int w, int h) {
  widget->setObjectName(name);
  widget->setGeometry(x, y, w, h);
  return widget;
}

void label(QWidget* parent, const char* text, int x, int y) {
  auto* l = new QLabel(text, parent);
  l->adjustSize();
  l->move(x, y);
}

}  // namespace

TZORVSetUp::TZORVSetUp(const ScanSetupFields& f, QWidget* parent) : QDialog(parent) {
  setObjectName("ZORVSetUp");
  setWindowTitle("ZORV SetUp");
  setFixedSize(372, 317);
  auto* size = at(new QGroupBox("MCA Memory Size", this), "McaMemSize", 8, 8, 150, 90);
  MemSize512 = at(new QRadioButton(" 512ch x 2 Bank", size), "MemSize512", 8, 18, 136, 18);
  MemSize1024 = at(new QRadioButton("1024ch x 2 Bank", size), "MemSize1024", 8, 40, 136, 18);
  MemSize2048 = at(new QRadioButton("2048ch x 2 Bank", size), "MemSize2048", 8, 62, 136, 18);
  MemSize1024->setChecked(true);
  auto* timers = at(new QGroupBox("PreSet Time", this), "McaTimers", 166, 8, 198, 90);
  label(timers, "PreSet Time", 8, 20);
  ZORVPreSetTime = at(new QLineEdit(timers), "ZORVPreSetTime", 86, 18, 50, 20);
  ZORVPreSetTime->setMaxLength(8);
  label(timers, "[ x 100msec]", 140, 20);
  label(timers, "ReFlesh Timer", 8, 52);
  DispRefTimer = at(new QLineEdit(timers), "DispRefTimer", 86, 50, 50, 20);
  label(timers, "[ Unit : msec]", 140, 52);
  ScanSkipOption = at(new QCheckBox("Skip Blank[ Ref.ROI # 0 ]", this), "ScanSkipOption", 8, 104, 200, 18);

  auto* mapping = at(new QGroupBox("Elements Mapping", this), "XrayMapPara", 8, 126, 356, 150);
  SaveRawData = at(new QCheckBox("Save Spectrum Data", mapping), "SaveRawData", 8, 20, 150, 18);
  Edit3 = at(new QLineEdit("File Name", mapping), "Edit3", 160, 18, 188, 20);
  Edit3->setEnabled(false);
  ElementMapON = at(new QCheckBox("X-ray Mapping ON", mapping), "ElementMapON", 8, 44, 150, 18);
  label(mapping, "X :", 160, 46);
  XMapSize = at(new QLineEdit("100", mapping), "XMapSize", 180, 44, 40, 20);
  label(mapping, "Y :", 226, 46);
  YMapSize = at(new QLineEdit("100", mapping), "YMapSize", 246, 44, 40, 20);
  label(mapping, "Pixs", 292, 46);
  for (int i = 0; i < 8; ++i) {
    const QString name = QString("ROI #%1").arg(i + 1);
    auto* roi = new QCheckBox(name, mapping);
    roi->setObjectName(QString("MapROI%1").arg(i + 1));
    roi->setGeometry(8 + (i % 4) * 86, 76 + (i / 4) * 24, 84, 18);
    MapROI[static_cast<size_t>(i)] = roi;
  }
  // The map's size and ROIs matter only with mapping on.
  const auto enableMap = [this](bool on) {
    XMapSize->setEnabled(on);
    YMapSize->setEnabled(on);
    ScanSkipOption->setEnabled(on);
    for (QCheckBox* roi : MapROI) roi->setEnabled(on);
  };
  connect(ElementMapON, &QCheckBox::toggled, this, enableMap);
  auto* ok = at(new QPushButton("OK", this), "OkButton", 180, 284, 88, 25);
  ok->setDefault(true);
  auto* cancel = at(new QPushButton("Cancel", this), "CancelButton", 276, 284, 88, 25);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(SaveRawData, &QCheckBox::clicked, this, [this] { SaveRawDataClick(); });
  chooseSavePath = [this] {
    return QFileDialog::getSaveFileName(this, "Save Spectrum Data", QString(), "spectrum(*.dat)");
  };

  (f.MemorySize == 512 ? MemSize512 : f.MemorySize == 2048 ? MemSize2048 : MemSize1024)->setChecked(true);
  ZORVPreSetTime->setText(QString::fromStdString(f.ZORVPreSetTime));
  DispRefTimer->setText(QString::fromStdString(f.DispRefTimer));
  savePath_ = QString::fromLocal8Bit(f.SavePath.c_str());
  Edit3->setText(QString::fromLocal8Bit(f.Edit3.c_str()));
  SaveRawData->setChecked(!savePath_.isEmpty());
  ElementMapON->setChecked(f.ElementMapON);
  XMapSize->setText(QString::fromStdString(f.XMapSize));
  YMapSize->setText(QString::fromStdString(f.YMapSize));
  for (size_t i = 0; i < MapROI.size(); ++i) MapROI[i]->setChecked(f.MapROI[i]);
  ScanSkipOption->setChecked(f.ScanSkipOption);
  enableMap(f.ElementMapON);
  fitCaptions(this);
}

void TZORVSetUp::SaveRawDataClick() {
  ScanSetupFields f;
  f.SavePath = savePath_.toLocal8Bit().toStdString();
  const bool checked = tolvane::SaveRawDataClick(f, [this] { return chooseSavePath().toLocal8Bit().toStdString(); });
  savePath_ = QString::fromLocal8Bit(f.SavePath.c_str());
  Edit3->setText(QString::fromLocal8Bit(f.Edit3.c_str()));
  SaveRawData->setChecked(checked);
}

ScanSetupFields TZORVSetUp::fields() const {
  ScanSetupFields f;
  f.MemorySize = MemSize512->isChecked() ? 512 : MemSize2048->isChecked() ? 2048 : 1024;
  f.ZORVPreSetTime = ZORVPreSetTime->text().toStdString();
  f.DispRefTimer = DispRefTimer->text().toStdString();
  f.Edit3 = Edit3->text().toLocal8Bit().toStdString();
  f.SavePath = savePath_.toLocal8Bit().toStdString();
  f.ElementMapON = ElementMapON->isChecked();
  f.XMapSize = XMapSize->text().toStdString();
  f.YMapSize = YMapSize->text().toStdString();
  for (size_t i = 0; i < MapROI.size(); ++i) f.MapROI[i] = MapROI[i]->isChecked();
  f.ScanSkipOption = ScanSkipOption->isChecked();
  return f;
}

bool runScanSetupDialog(QWidget* parent, ScanSetupFields& fields) {
  TZORVSetUp dialog(fields, parent);
  const bool ok = dialog.exec() == QDialog::Accepted;
  fields = dialog.fields();
  return ok;
}

}  // namespace tolvane
