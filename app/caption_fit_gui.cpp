#include "app/caption_fit_gui.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <cstdlib>
#include <functional>

#include "display/plot_renderer.h"

namespace tolvane {

namespace {

// Below this the text would no longer be legible; a caption that does not
// fit even then keeps it.
constexpr int kSmallestPixels = 8;

QString shownText(QString text) {
  text.remove(QRegularExpression("&(?!&)"));  // mnemonic markers take no room
  return text;
}

int advance(const QWidget* w, const QString& text) { return w->fontMetrics().horizontalAdvance(shownText(text)); }

bool pushButtonFits(const QPushButton* b) {
  QStyleOptionButton option;
  option.initFrom(b);
  option.text = b->text();
  if (b->isDefault() || b->autoDefault()) option.features |= QStyleOptionButton::AutoDefaultButton;
  const QRect room = b->style()->subElementRect(QStyle::SE_PushButtonContents, &option, b);
  const int icon = b->icon().isNull() ? 0 : b->iconSize().width() + 4;
  return advance(b, b->text()) + icon <= room.width();
}

bool lineEditFits(const QLineEdit* e) {
  const int frame = e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, e) : 0;
  const QMargins margins = e->textMargins();
  const int room = e->width() - 2 * frame - 2 * 2 - margins.left() - margins.right();  // 2: the edit's own margin
  return advance(e, e->text()) <= room;
}

bool comboFits(const QComboBox* c) {
  QStyleOptionComboBox option;
  option.initFrom(c);
  option.editable = c->isEditable();
  option.frame = c->hasFrame();
  const QRect room = c->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, c);
  for (int i = 0; i < c->count(); ++i) {
    const int icon = c->itemIcon(i).isNull() ? 0 : c->iconSize().width() + 4;
    if (advance(c, c->itemText(i)) + icon > room.width()) return false;
  }
  return true;
}

// The bar's size hint lays out every tab at its own width.
bool tabsFit(const QTabWidget* t) { return t->tabBar()->sizeHint().width() <= t->width(); }

// A label must stay inside its parent and off the controls beside it (any
// other control, or a label on the same row), two pixels clear of them.
bool labelClear(const QLabel* l) {
  const QWidget* parent = l->parentWidget();
  if (!parent) return true;
  if (l->geometry().right() >= parent->width()) return false;
  for (const QWidget* other : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    const QRect reach = l->geometry().adjusted(0, 0, 2, 0);  // two pixels of clearance
    if (other == l || other->isHidden() || !other->geometry().intersects(reach)) continue;
    const bool sameRow = std::abs(other->geometry().center().y() - l->geometry().center().y()) <= 4;
    if (!qobject_cast<const QLabel*>(other) || sameRow) return false;
  }
  return true;
}

int pixelSizeOf(const QWidget* w) {
  const QFont f = w->font();
  return f.pixelSize() > 0 ? f.pixelSize() : QFontInfo(f).pixelSize();
}

// Makes the font of `target` smaller until `fits` holds.
void shrinkUntil(QWidget* target, const std::function<bool()>& fits, const std::function<void()>& after = {}) {
  QFont font = target->font();
  for (int pixels = pixelSizeOf(target); !fits() && pixels > kSmallestPixels;) {
    font.setPixelSize(--pixels);
    target->setFont(font);
    if (after) after();
  }
}

// A group's title gets its own font; the controls inside keep theirs.
void fitGroupTitle(QGroupBox* g) {
  const auto fits = [g] { return g->minimumSizeHint().width() <= g->width(); };
  if (fits()) return;
  for (QWidget* child : g->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) child->setFont(child->font());
  shrinkUntil(g, fits);
}

void fitLabel(QLabel* l) {
  if (l->text().isEmpty() || l->wordWrap() || !l->pixmap().isNull()) return;
  l->adjustSize();
  shrinkUntil(
      l, [l] { return labelClear(l); }, [l] { l->adjustSize(); });
}

void fitOne(QWidget* w) {
  if (auto* l = qobject_cast<QLabel*>(w)) return fitLabel(l);
  if (auto* g = qobject_cast<QGroupBox*>(w)) return fitGroupTitle(g);
  if (auto* t = qobject_cast<QTabWidget*>(w)) return shrinkUntil(t->tabBar(), [t] { return tabsFit(t); });
  if (auto* b = qobject_cast<QPushButton*>(w)) return shrinkUntil(b, [b] { return pushButtonFits(b); });
  if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w))
    return shrinkUntil(w, [w] { return w->sizeHint().width() <= w->width(); });
  if (auto* e = qobject_cast<QLineEdit*>(w)) {
    if (e->parentWidget() && qobject_cast<QComboBox*>(e->parentWidget())) return;
    return shrinkUntil(e, [e] { return lineEditFits(e); });
  }
  if (auto* c = qobject_cast<QComboBox*>(w)) return shrinkUntil(c, [c] { return comboFits(c); });
}

}  // namespace

void fitCaptions(QWidget* root) {
  // Parents first: a group's title is settled before the controls in it.
  for (QWidget* w : root->findChildren<QWidget*>()) {
    // Qt's own parts (tab scroll buttons, a combo box's popup) are not ours.
    if (w->objectName().startsWith("qt_")) continue;
    fitOne(w);
  }
}

void applyWindowFont() {
  QFont font = PlotRenderer::plotFont();
  font.setStyleStrategy(QFont::PreferDefault);
  QApplication::setFont(font);
}

}  // namespace tolvane
