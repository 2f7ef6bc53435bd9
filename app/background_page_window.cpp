// The background controls under the "Lines" page's buttons: the SNIP
// background over the plot, the ROIs' net sums over it, its width, and
// memory overlays normalised by live time. (A page of their own would not
// leave the page tabs room for their captions.)
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>

#include "app/main_window.h"
#include "display/plot_widget.h"
#include "display/shown_background.h"
#include "handlers/background_handlers.h"

namespace tolvane {

void TForm1::buildBackgroundPage() {
  auto* page = PageControl1->findChild<QWidget*>("LinesPage");
  SnipShown = new QCheckBox("SNIP", page);
  SnipShown->setObjectName("SnipShown");
  SnipShown->setGeometry(4, 58, 70, 18);
  SnipShown->setToolTip("Draw the SNIP background (the continuum under the peaks) over the plot");
  RoiNetSnip = new QCheckBox("ROI net", page);
  RoiNetSnip->setObjectName("RoiNetSnip");
  RoiNetSnip->setGeometry(84, 58, 76, 18);
  RoiNetSnip->setToolTip("ROI net sums over the SNIP background instead of the straight line under the ROI");
  auto* caption = new QLabel("W", page);
  caption->setObjectName("SnipWidthLabel");
  caption->setGeometry(4, 82, 16, 16);
  SnipWidthEdit = new QLineEdit(page);
  SnipWidthEdit->setObjectName("SnipWidthEdit");
  SnipWidthEdit->setGeometry(22, 80, 52, 20);
  SnipWidthEdit->setToolTip("SNIP window half-width in channels; empty: from the detector's resolution");
  NormaliseLT = new QCheckBox("Norm. LT", page);
  NormaliseLT->setObjectName("NormaliseLT");
  NormaliseLT->setGeometry(84, 81, 76, 18);
  NormaliseLT->setToolTip("Memory SnapShots scaled to one live time, so overlays of different counting times compare");

  connect(SnipShown, &QCheckBox::clicked, this, [this](bool on) { handle([=, this] { SnipShownClick(session_, on); }); });
  connect(RoiNetSnip, &QCheckBox::clicked, this,
          [this](bool on) { handle([=, this] { RoiNetSnipClick(session_, on); }); });
  connect(NormaliseLT, &QCheckBox::clicked, this,
          [this](bool on) { handle([=, this] { NormaliseOverlaysClick(session_, on); }); });
  connect(SnipWidthEdit, &QLineEdit::textEdited, this,
          [this](const QString& text) { handle([=, this] { SnipWidthChange(session_, text.toStdString()); }); });
}

void TForm1::refreshBackgroundPage() {
  if (SnipShown == nullptr) return;
  const DisplayState& d = session_.Display;
  SnipShown->setChecked(d.SnipShown);
  RoiNetSnip->setChecked(d.RoiNetOverSnip);
  NormaliseLT->setChecked(d.NormaliseOverlays);
  SnipWidthEdit->setPlaceholderText(QString::number(shownSnipWidth(session_)));
  PaintBox1->setBackground(backgroundCurve(session_));
}

}  // namespace tolvane
