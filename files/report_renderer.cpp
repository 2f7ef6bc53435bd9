#include "files/report_renderer.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLocale>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <algorithm>

#include "app/session.h"
#include "display/pixel_pen_renderer.h"
#include "files/atomic_file.h"
#include "files/report_layout.h"

namespace tolvane {

namespace {

// Tahoma where it is installed (Wine's metric-compatible copy is loaded
// when present), otherwise DejaVu Sans.
QString reportFamily() {
  static const QString family = [] {
    if (QFontDatabase::hasFamily("Tahoma")) return QString("Tahoma");
    for (const char* path : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/fonts/truetype/wine/tahoma.ttf"}) {
      if (!QFile::exists(path)) continue;
      const int id = QFontDatabase::addApplicationFont(path);
      const QStringList families = QFontDatabase::applicationFontFamilies(id);
      if (!families.isEmpty()) return families.front();
    }
    return QString("DejaVu Sans");
  }();
  return family;
}

}  // namespace

std::pair<std::string, std::string> reportStamp(const QDateTime& now) {
  const QLocale locale;
  // The locale's long time form, less its time-zone fields ("t" .. "tttt").
  QString timeFormat = locale.timeFormat(QLocale::LongFormat);
  timeFormat.remove(QRegularExpression("\\s*t+\\s*$"));
  timeFormat.remove(QRegularExpression("^\\s*t+\\s*"));
  timeFormat.replace(QRegularExpression("\\s*t+\\s+"), " ");
  return {locale.toString(now.date(), QLocale::ShortFormat).trimmed().toStdString(),
          locale.toString(now.time(), timeFormat).trimmed().toStdString()};
}

QFont reportFont(int cellHeight) {
  const int height = std::max(cellHeight, 1);
  QFont font(reportFamily());
  font.setPixelSize(height);
  const qreal cell = QFontMetricsF(font).height();
  if (cell <= height) return font;
  int em = std::max(static_cast<int>(height * height / cell), 1);
  font.setPixelSize(em);
  while (em > 1 && QFontMetricsF(font).height() > height) font.setPixelSize(--em);
  return font;
}

void drawReport(QPainter& painter, const ReportModel& m) {
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(QColor(toQRgb(m.traceColour)), 2, Qt::SolidLine, Qt::FlatCap));
  if (!m.trace.empty()) {
    QPolygon polyline;
    polyline.reserve(static_cast<int>(m.trace.size()));
    for (const ReportPoint& p : m.trace) polyline << QPoint(p.x, p.y);
    painter.drawPolyline(polyline);
  }
  for (const ReportLine& line : m.lines) {
    painter.setPen(QPen(QColor(toQRgb(line.colour)), line.width, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(line.from.x, line.from.y, line.to.x, line.to.y);
  }
  painter.setPen(Qt::black);
  for (const ReportText& t : m.texts) {
    painter.setFont(reportFont(t.height));
    const int ascent = painter.fontMetrics().ascent();
    const QString text = QString::fromLocal8Bit(t.text.c_str());
    painter.save();
    painter.translate(t.at.x, t.at.y);
    if (t.turned) painter.rotate(90);  // 270 degrees anticlockwise: reads down the page
    painter.drawText(0, ascent, text);
    painter.restore();
  }
}

bool writeReportPdf(const Session& session, const QString& path, int pageWidth, int pageHeight, int dpi) {
  // Drawn in memory first, so a failure never leaves half a PDF in place.
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter writer(&buffer);
  writer.setResolution(dpi);
  writer.setPageLayout(QPageLayout(QPageSize(QSizeF(pageWidth * 72.0 / dpi, pageHeight * 72.0 / dpi), QPageSize::Point),
                                   QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
  writer.setCreator("Tolvane");
  QPainter painter;
  if (!painter.begin(&writer)) return false;
  const auto [date, time] = reportStamp();
  const ReportModel model = buildReport(session, writer.width(), writer.height(), date, time);
  drawReport(painter, model);
  if (!painter.end()) return false;
  const QByteArray& bytes = buffer.data();
  return writeFileAtomically(path.toLocal8Bit().toStdString(), bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace tolvane
