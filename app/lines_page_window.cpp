// The "Lines" page of the main window: the elements whose lines are marked,
// the on/off box, "Identify" at the cursor and the peak list.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QToolTip>

#include "app/main_window.h"
#include "display/plot_widget.h"
#include "handlers/lines_handlers.h"
#include "lines/peak_list_dialog.h"

namespace tolvane {

void TForm1::buildLinesPage() {
  auto* page = new QWidget;
  page->setObjectName("LinesPage");
  auto* caption = new QLabel("Lines", page);
  caption->setObjectName("LinesLabel");
  caption->setGeometry(4, 6, 30, 16);
  LinesEdit = new QLineEdit(page);
  LinesEdit->setObjectName("LinesEdit");
  LinesEdit->setGeometry(36, 4, 84, 20);
  LinesEdit->setToolTip("Elements whose lines are marked, e.g. Fe Mn Cu");
  LinesOn = new QCheckBox("On", page);
  LinesOn->setObjectName("LinesOn");
  LinesOn->setGeometry(124, 5, 40, 18);
  Identify = new QPushButton("Identify", page);
  Identify->setObjectName("Identify");
  Identify->setGeometry(4, 30, 76, 22);
  Identify->setToolTip("Lines near the cursor (also the right mouse button on the plot)");
  Peaks = new QPushButton("Peaks...", page);
  Peaks->setObjectName("Peaks");
  Peaks->setGeometry(84, 30, 76, 22);
  PageControl1->addTab(page, "Lines");

  connect(LinesEdit, &QLineEdit::textEdited, this,
          [this](const QString& text) { handle([=, this] { LinesTextChange(session_, text.toStdString()); }); });
  connect(LinesOn, &QCheckBox::clicked, this, [this](bool on) { handle([=, this] { LinesOnClick(session_, on); }); });
  connect(Identify, &QPushButton::clicked, this, [this] { identifyAtCursor(); });
  connect(Peaks, &QPushButton::clicked, this, [this] {
    whenIdle([this] {
      handle([this] { PeakSearchClick(session_); });
      if (session_.Lines.LastPeaks.error || !runPeakList) return;
      if (runPeakList(session_.Lines.LastPeaks)) handle([this] { UseProposedElements(session_); });
    });
  });
  runPeakList = [this](const SpectrumLinesResult& result) {
    PeakListDialog dialog(result, this);
    return dialog.exec() == QDialog::Accepted;
  };
}

void TForm1::refreshLinesPage() {
  if (LinesEdit == nullptr) return;
  const QString text = QString::fromStdString(session_.Lines.Elements);
  if (LinesEdit->text() != text) LinesEdit->setText(text);
  LinesOn->setChecked(session_.Lines.Shown);
}

void TForm1::identifyAtCursor() {
  whenIdle([this] {
    handle([this] { IdentifyClick(session_); });
    const QString details = QString::fromStdString(session_.Lines.IdentifyDetails);
    Edit1->setToolTip(details);
    if (!details.isEmpty() && isVisible())
      QToolTip::showText(PaintBox1->mapToGlobal(QPoint(PaintBox1->width() / 2, 20)), details, PaintBox1);
  });
}

}  // namespace tolvane
