#include "acquisition/mca_setup_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/caption_fit_gui.h"

namespace tolvane {

namespace {

QLabel* label(QWidget* parent, const char* text, int x, int y) {
  auto* l = new QLabel(text, parent);
  l->adjustSize();
  l->move(x, y);
  return l;
}

QLineEdit* edit(QWidget* parent, const char* name, int x, int y, int w, int h, int pixelSize = 0) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  e->setGeometry(x, y, w, h);
  if (pixelSize > 0) {
    QFont f = e->font();
    f.setPixelSize(pixelSize);
    e->setFont(f);
  }
  return e;
}

}  // namespace

TVEXA1SetUp::TVEXA1SetUp(const McaSetupFields& f, QWidget* parent) : QDialog(parent) {
  setObjectName("VEXA1SetUp");
  setWindowTitle("VEXA1 SetUp");
  setFixedSize(396, 207);  // a row below the original layout for the precision preset
  auto* memory = new QGroupBox("McaMemory", this);
  memory->setObjectName("McaMemory");
  memory->setGeometry(8, 16, 97, 153);
  const auto sizeButton = [memory](const char* name, const char* text, int y) {
    auto* b = new QRadioButton(text, memory);
    b->setObjectName(name);
    b->setGeometry(16, y - 16, 76, 18);
    return b;
  };
  m256ch = sizeButton("m256ch", "256  ch", 40);
  m512ch = sizeButton("m512ch", "512  ch", 64);
  m1024ch = sizeButton("m1024ch", "1024 ch", 88);
  m2048ch = sizeButton("m2048ch", "2048 ch", 112);
  m4096ch = sizeButton("m4096ch", "4096 ch", 136);
  label(this, "Preset Time", 120, 16);
  PresetRT = edit(this, "PresetRT", 120, 32, 97, 23, 15);
  label(this, "sec", 224, 40);
  label(this, "Dead Time per Event", 264, 16);
  DeadTime = edit(this, "DeadTime", 264, 32, 65, 23, 15);
  label(this, "usec", 336, 40);
  label(this, "McaData ", 122, 72);
  label(this, "Comment", 122, 84);
  SpcLabel1 = edit(this, "SpcLabel1", 176, 72, 201, 20);
  label(this, "Sample", 122, 104);
  label(this, "ID. Code", 122, 116);
  SpcLabel2 = edit(this, "SpcLabel2", 176, 106, 201, 20);
  for (QLineEdit* e : {SpcLabel1, SpcLabel2}) e->setMaxLength(31);
  PrecisionOn = new QCheckBox("Stop also at σ(net) of ROI #", this);
  PrecisionOn->setObjectName("PrecisionOn");
  PrecisionOn->setGeometry(8, 180, 200, 20);
  PrecisionRoi = edit(this, "PrecisionRoi", 210, 179, 34, 22);
  label(this, "≤", 250, 182);
  PrecisionPct = edit(this, "PrecisionPct", 266, 179, 56, 22);
  label(this, "%", 328, 182);
  auto* ok = new QPushButton("Ok", this);
  ok->setObjectName("OkButton");
  ok->setGeometry(120, 144, 145, 25);
  ok->setDefault(true);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("CancelButton");
  cancel->setGeometry(280, 144, 97, 25);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);  // Escape rejects too

  switch (f.ChannelCount) {
    case 256:
      m256ch->setChecked(true);
      break;
    case 512:
      m512ch->setChecked(true);
      break;
    case 1024:
      m1024ch->setChecked(true);
      break;
    case 2048:
      m2048ch->setChecked(true);
      break;
    default:
      m4096ch->setChecked(true);
      break;
  }
  PresetRT->setText(QString::fromStdString(f.PresetRT));
  DeadTime->setText(QString::fromStdString(f.DeadTime));
  SpcLabel1->setText(QString::fromLocal8Bit(f.SpcLabel1.c_str()));
  SpcLabel2->setText(QString::fromLocal8Bit(f.SpcLabel2.c_str()));
  PrecisionOn->setChecked(f.PrecisionOn);
  PrecisionRoi->setText(QString::fromStdString(f.PrecisionRoi));
  PrecisionPct->setText(QString::fromStdString(f.PrecisionPct));
  fitCaptions(this);
}

McaSetupFields TVEXA1SetUp::fields() const {
  McaSetupFields f;
  const std::pair<QRadioButton*, int> sizes[] = {
      {m256ch, 256}, {m512ch, 512}, {m1024ch, 1024}, {m2048ch, 2048}, {m4096ch, 4096}};
  for (const auto& [button, size] : sizes)
    if (button->isChecked()) f.ChannelCount = size;
  f.PresetRT = PresetRT->text().toStdString();
  f.DeadTime = DeadTime->text().toStdString();
  f.SpcLabel1 = SpcLabel1->text().toLocal8Bit().toStdString();
  f.SpcLabel2 = SpcLabel2->text().toLocal8Bit().toStdString();
  f.PrecisionOn = PrecisionOn->isChecked();
  f.PrecisionRoi = PrecisionRoi->text().toStdString();
  f.PrecisionPct = PrecisionPct->text().toStdString();
  return f;
}

bool runMcaSetupDialog(QWidget* parent, McaSetupFields& fields) {
  TVEXA1SetUp dialog(fields, parent);
  const bool ok = dialog.exec() == QDialog::Accepted;
  fields = dialog.fields();
  return ok;
}

}  // namespace tolvane
