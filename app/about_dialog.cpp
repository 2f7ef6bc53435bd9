#include "app/about_dialog.h"

#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <cmath>

#include "app/caption_fit_gui.h"

namespace tolvane {

namespace {

// A small picture of a spectrum: two peaks over a falling continuum.
QPixmap aboutPicture() {
  QImage image(96, 76, QImage::Format_RGB32);
  image.fill(Qt::black);
  QPainter painter(&image);
  painter.setPen(QColor(0, 255, 0));
  QPoint previous(0, 75);
  for (int x = 0; x < 96; ++x) {
    const double peaks =
        55 * std::exp(-0.5 * std::pow((x - 30) / 2.5, 2)) + 22 * std::exp(-0.5 * std::pow((x - 36) / 2.8, 2));
    const double continuum = 14 * std::exp(-x / 40.0);
    const QPoint point(x, 75 - static_cast<int>(peaks + continuum));
    painter.drawLine(previous, point);
    previous = point;
  }
  return QPixmap::fromImage(image);
}

QLabel* label(QWidget* parent, const QString& text, int x, int y, int w, int h) {
  auto* l = new QLabel(text, parent);
  l->setGeometry(x, y, w, h);
  return l;
}

}  // namespace

TMcaAbout::TMcaAbout(QWidget* parent) : QDialog(parent) {
  setObjectName("McaAbout");
  setWindowTitle("McaAbout");
  setFixedSize(270, 134);
  auto* image = label(this, QString(), 8, 8, 96, 76);
  image->setObjectName("Image1");
  image->setPixmap(aboutPicture());
  QLabel* name = label(this, "DORVEL.EXE", 136, 10, 97, 15);
  QFont bold = font();
  bold.setPixelSize(15);
  bold.setBold(true);
  name->setFont(bold);
  name->setObjectName("Label2");
  label(this, "Version: 0.99  2010/11/11", 128, 32, 133, 12)->setObjectName("Label3");
  label(this, "UpDate and DownLoad:", 128, 52, 118, 12)->setObjectName("Label4");
  label(this, "tolvane.example.org", 176, 64, 90, 12)->setObjectName("Label5");
  label(this, "Tolvane project, 2026", 32, 90, 210, 12)->setObjectName("Label1");
  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("Button1");
  ok->setGeometry(96, 110, 75, 20);
  ok->setDefault(true);
  ok->setFocus();
  connect(ok, &QPushButton::clicked, this, [this] { done(1); });
  fitCaptions(this);
}

}  // namespace tolvane
