#include "xfit/standards_editor_dialog.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

#include "app/caption_fit_gui.h"
#include "xfit/fit_quantification.h"
#include "xfit/standard_table.h"

namespace tolvane {

namespace {

// The window locale's decimal point, when it is one plain character.
char localeDecimalPoint() {
  const QString point = QLocale().decimalPoint();
  return point.size() == 1 && point.front().unicode() < 0x80 ? static_cast<char>(point.front().unicode()) : '.';
}

QLabel* header(QWidget* parent, const char* name, const char* text, int x) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(name);
  l->adjustSize();
  l->move(x, 3);
  return l;
}

QLineEdit* rowEdit(QWidget* parent, const QString& name, int x, int y, int w) {
  auto* e = new QLineEdit(name, parent);
  e->setObjectName(name);
  e->setGeometry(x, y, w, 21);
  return e;
}

}  // namespace

namespace {
// The FP wt% column sits between the file names and the panel.
constexpr int kFpLeft = 504;
constexpr int kFpWidth = 105;
constexpr int kClientWidth = 604 + kFpWidth + 4;
constexpr int kPanelLeft = 505 + kFpWidth + 4;
}  // namespace

TEditStd::TEditStd(StandardTable& table, QWidget* parent, const FitQuantification* quant)
    : QDialog(parent), table_(table), quant_(quant) {
  setObjectName("EditStd");
  setWindowTitle("Xfit Standard Element Editer");
  resize(kClientWidth, 410);

  auto* panel = Panel1 = new QWidget(this);
  panel->setObjectName("Panel1");
  panel->setGeometry(kPanelLeft, 23, 95, 385);
  const auto button = [panel](const char* name, const char* text, int y) {
    auto* b = new QPushButton(text, panel);
    b->setObjectName(name);
    b->setGeometry(8, y, 80, 24);
    return b;
  };
  QPushButton* init = button("InitRef", "Initialize", 8);
  QPushButton* update = button("UpDateRef", "Up Date", 40);
  QPushButton* save = button("SaveRef", "Save Table", 72);
  WtperON = new QCheckBox("wt% Disp.", panel);
  WtperON->setObjectName("WtperON");
  WtperON->setGeometry(8, 136, 84, 18);
  auto* hvLabel = new QLabel("XrayHV", panel);
  hvLabel->move(8, 160);
  auto* hv = new QLineEdit("HVinKV", panel);
  hv->setObjectName("HVinKV");
  hv->setGeometry(8, 176, 80, 21);
  auto* currentLabel = new QLabel("XrayCurrent", panel);
  currentLabel->move(8, 200);
  auto* current = new QLineEdit("TubeuA", panel);
  current->setObjectName("TubeuA");
  current->setGeometry(8, 216, 80, 21);
  QPushButton* ok = button("EditOk", "Ok", 320);
  QPushButton* cancel = button("EditCancel", "Cancel", 352);

  header(this, "StdElemName", "Std Element", 8);
  Kratio = header(this, "Kratio", "K-Ratio", 120);
  header(this, "ChemiVal", "Chemi. wt%", 232);
  header(this, "CfValue", "CF", 328);
  header(this, "StdSpecFile", "Std Spec. Filename", 384);
  auto* fpHeader = header(this, "FpWtper", "FP wt%", kFpLeft);
  fpHeader->setToolTip("wt% by fundamental parameters from the last fit, with its error (3 sigma)");
  StdTableFile = header(this, "StdTableFile", "StdTable Filename", kPanelLeft - 9);
  auto* bevel = new QFrame(this);
  bevel->setObjectName("Bevel1");
  bevel->setFrameShape(QFrame::HLine);
  bevel->setGeometry(0, 18, kClientWidth - 4, 1);

  for (int k = 0; k < 16; ++k) {
    const int y = 24 * (k + 1);
    const QString n = QString::number(k + 1);
    RowControls& row = Rows[static_cast<size_t>(k)];
    row.StdNo = new QCheckBox(QString::fromStdString(view_.rows[static_cast<size_t>(k)].caption), this);
    row.StdNo->setObjectName("StdNo" + n);
    row.StdNo->setGeometry(8, y, 73, 21);
    row.Kratio = rowEdit(this, "Std" + n + "Kratio", 80, y, 137);
    row.Wtper = rowEdit(this, "Std" + n + "Wtper", 224, y, 73);
    row.Cf = rowEdit(this, "Std" + n + "Cf", 304, y, 73);
    row.FileName = rowEdit(this, "Std" + n + "FileName", 384, y, 113);
    row.FpWt = rowEdit(this, "Std" + n + "FpWt", kFpLeft, y, kFpWidth);
    row.FpWt->clear();
    row.FpWt->setReadOnly(true);
    connect(row.Wtper, &QLineEdit::textChanged, this,
            [this, k](const QString& text) { StdWtperChange(table_, k, text.toStdString(), localeDecimalPoint()); });
  }
  // Tab order: the panel, then each column of the rows.
  QList<QWidget*> order{init, update, save, ok, cancel, WtperON, hv, current};
  for (int column = 0; column < 5; ++column)
    for (const RowControls& row : Rows)
      order.append(
          std::array<QWidget*, 5>{row.StdNo, row.Kratio, row.Wtper, row.Cf, row.FileName}[static_cast<size_t>(column)]);
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

  chooseSavePath = [this] { return QFileDialog::getSaveFileName(this, "Save Table"); };
  connect(save, &QPushButton::clicked, this,
          [this] {
            // "Save Table" says nothing when the table cannot be written.
            const std::string path = chooseSavePath().toLocal8Bit().toStdString();
            if (SaveStandardTableFile(table_, path) && tableSaved) tableSaved(path);
          });
  connect(WtperON, &QCheckBox::clicked, this, [this] { FormCreate(); });
  connect(ok, &QPushButton::clicked, this, [this] { done(1); });
  connect(cancel, &QPushButton::clicked, this, [this] { done(2); });
  FormCreate();
}

void TEditStd::FormCreate() {
  fillEditorView(table_, WtperON->isChecked(), view_);
  fillFpColumn(quant_ ? *quant_ : FitQuantification{}, view_);
  StdTableFile->setText(QString::fromLocal8Bit(view_.header.c_str()));
  StdTableFile->adjustSize();
  Kratio->setText(QString::fromStdString(view_.kratioHeader));
  Kratio->adjustSize();
  for (size_t k = 0; k < Rows.size(); ++k) {
    const EditorRow& row = view_.rows[k];
    Rows[k].StdNo->setChecked(row.checked);
    Rows[k].StdNo->setText(QString::fromLocal8Bit(row.caption.c_str()));
    Rows[k].Kratio->setText(QString::fromStdString(row.kratio));
    Rows[k].Cf->setText(QString::fromStdString(row.cf));
    Rows[k].FileName->setText(QString::fromLocal8Bit(row.file.c_str()));
    Rows[k].FpWt->setText(QString::fromStdString(row.fpWt));
  }
  fitCaptions(this);
}

void TEditStd::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  Panel1->move(width() - (kClientWidth - kPanelLeft), Panel1->y());
}

bool runStandardsEditor(QWidget* parent, StandardTable& table, const FitQuantification* quant,
                        std::function<void(const std::string&)> tableSaved) {
  TEditStd editor(table, parent, quant);
  editor.tableSaved = std::move(tableSaved);
  return editor.exec() == 1;
}

}  // namespace tolvane
