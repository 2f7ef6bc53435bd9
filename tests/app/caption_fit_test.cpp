// Every caption of the window and of every dialog fits its control, with
// the font the program uses.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <cstdlib>

#include "acquisition/mca_setup_dialog.h"
#include "acquisition/scan_setup_dialog.h"
#include "app/about_dialog.h"
#include "app/caption_fit_gui.h"
#include "app/main_window.h"
#include "app/xfit_batch_dialog.h"
#include "device/clock.h"
#include "device/sim/sim_ftdi.h"
#include "lines/line_data.h"
#include "lines/peak_list_dialog.h"
#include "xfit/standard_table.h"
#include "xfit/standards_editor_dialog.h"

namespace tolvane {
namespace {

QString plain(QString text) { return text.replace("&&", "\x01").remove('&').replace("\x01", "&"); }
int width(const QWidget* w, const QString& text) { return w->fontMetrics().horizontalAdvance(plain(text)); }

// What is wrong with the caption of `w`, or an empty text when it fits.
QString clipped(const QWidget* w) {
  const QString name = w->objectName().isEmpty() ? w->metaObject()->className() : w->objectName();
  const auto wrong = [&](const QString& text, int need, int room) {
    return QString("%1 \"%2\" needs %3 px, has %4").arg(name, text).arg(need).arg(room);
  };
  if (auto* l = qobject_cast<const QLabel*>(w)) {
    if (l->text().isEmpty() || !l->pixmap().isNull()) return {};
    if (l->sizeHint().width() > l->width()) return wrong(l->text(), l->sizeHint().width(), l->width());
    if (l->sizeHint().height() > l->height()) return wrong(l->text(), l->sizeHint().height(), l->height());
    const QWidget* parent = l->parentWidget();
    if (!parent) return {};
    if (l->geometry().right() >= parent->width()) return wrong(l->text(), l->geometry().right() + 1, parent->width());
    // Running into a control beside it, or into a label on the same row.
    for (const QWidget* other : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      // Two pixels of clearance on the right, so texts do not run together.
      const QRect reach = l->geometry().adjusted(0, 0, 2, 0);
      if (other == l || other->isHidden() || !other->geometry().intersects(reach)) continue;
      if (qobject_cast<const QLabel*>(other) && std::abs(other->y() - l->y()) > 4) continue;
      return QString("%1 \"%2\" runs into %3").arg(name, l->text(), other->objectName());
    }
    return {};
  }
  if (auto* b = qobject_cast<const QPushButton*>(w)) {
    QStyleOptionButton option;
    option.initFrom(b);
    option.text = b->text();
    if (b->isDefault() || b->autoDefault()) option.features |= QStyleOptionButton::AutoDefaultButton;
    const int room = b->style()->subElementRect(QStyle::SE_PushButtonContents, &option, b).width();
    const int need = width(b, b->text());
    return need > room ? wrong(b->text(), need, room) : QString();
  }
  if (qobject_cast<const QCheckBox*>(w) || qobject_cast<const QRadioButton*>(w)) {
    const auto* b = static_cast<const QAbstractButton*>(w);
    return b->sizeHint().width() > b->width() ? wrong(b->text(), b->sizeHint().width(), b->width()) : QString();
  }
  if (auto* g = qobject_cast<const QGroupBox*>(w)) {
    const int need = width(g, g->title()) + 8;
    return need > g->width() ? wrong(g->title(), need, g->width()) : QString();
  }
  if (auto* t = qobject_cast<const QTabWidget*>(w)) {
    const int need = t->tabBar()->sizeHint().width();
    if (need > t->width()) return wrong("tabs", need, t->width());
    // Each caption with a little room either side of it.
    for (int i = 0; i < t->count(); ++i) {
      const int room = t->tabBar()->tabRect(i).width() - 10;
      if (width(t->tabBar(), t->tabText(i)) > room)
        return wrong(t->tabText(i), width(t->tabBar(), t->tabText(i)), room);
    }
    return {};
  }
  if (auto* e = qobject_cast<const QLineEdit*>(w)) {
    if (qobject_cast<const QComboBox*>(e->parentWidget())) return {};
    const int frame = e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, e);
    const int room = e->width() - 2 * frame - 4;
    return width(e, e->text()) > room ? wrong(e->text(), width(e, e->text()), room) : QString();
  }
  if (auto* c = qobject_cast<const QComboBox*>(w)) {
    QStyleOptionComboBox option;
    option.initFrom(c);
    option.frame = true;
    const int room = c->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, c).width();
    for (int i = 0; i < c->count(); ++i) {
      const int need = width(c, c->itemText(i)) + (c->itemIcon(i).isNull() ? 0 : c->iconSize().width() + 4);
      if (need > room) return wrong(c->itemText(i), need, room);
    }
  }
  return {};
}

QStringList clippedUnder(const QWidget* root) {
  QStringList found;
  for (const QWidget* w : root->findChildren<QWidget*>()) {
    if (w->objectName().startsWith("qt_")) continue;
    if (const QString problem = clipped(w); !problem.isEmpty()) found << problem;
  }
  return found;
}

class CaptionFit : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = QApplication::font();
    applyWindowFont();
  }
  void TearDown() override { QApplication::setFont(saved_); }
  QFont saved_;
};

TEST_F(CaptionFit, EveryCaptionOfTheMainWindowFits) {
  ManualClock clock;
  SimFtdi bridge{clock};
  bridge.attach();
  TForm1 window(bridge, clock);
  window.show();
  EXPECT_EQ(clippedUnder(&window).join("\n").toStdString(), "");
  EXPECT_EQ(window.Client->size(), QSize(TForm1::kClientWidth, TForm1::kClientHeight));
  EXPECT_EQ(window.ZARV->geometry(), QRect(550, 8, 169, 125));  // fixed controls keep their places
  EXPECT_EQ(window.Edit1->geometry(), QRect(550, 356, 169, 20));
}

TEST_F(CaptionFit, EveryCaptionOfEveryDialogFits) {
  TMcaAbout about(nullptr);
  EXPECT_EQ(clippedUnder(&about).join("\n").toStdString(), "");
  EXPECT_EQ(about.size(), QSize(270, 134));

  TVEXA1SetUp mcaSetup(McaSetupFields{}, nullptr);
  EXPECT_EQ(clippedUnder(&mcaSetup).join("\n").toStdString(), "");

  ScanSetupFields scanFields;
  scanFields.ZORVPreSetTime = "10";
  scanFields.DispRefTimer = "100";
  TZORVSetUp scanSetup(scanFields, nullptr);
  EXPECT_EQ(clippedUnder(&scanSetup).join("\n").toStdString(), "");

  StandardTable table;
  TEditStd editor(table, nullptr);
  EXPECT_EQ(clippedUnder(&editor).join("\n").toStdString(), "");

  // The peak list with a row of long candidate names and proposed elements.
  SpectrumLinesResult peaks;
  PeakIdentity mn;
  mn.peak = {589.9, 5.899, 123456.0, 351.0, 14.5, 0.145, 80.0};
  for (const XrayLine& l : emissionLines(25, kDefaultMaxKev).lines) mn.candidates.push_back({l, 0.0});
  peaks.identification.peaks.push_back(mn);
  peaks.identification.elements = {25, 26, 29};
  PeakListDialog peakList(peaks);
  peakList.show();
  EXPECT_EQ(clippedUnder(&peakList).join("\n").toStdString(), "");

  XfitWorkspace loaded;
  XfitBatchDialog batch(loaded);
  batch.show();
  EXPECT_EQ(clippedUnder(&batch).join("\n").toStdString(), "");
}

}  // namespace
}  // namespace tolvane
