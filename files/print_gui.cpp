#include "files/print_gui.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>

#include "app/session.h"
#include "files/atomic_file.h"
#include "files/path_name.h"
#include "files/report_layout.h"
#include "files/report_renderer.h"

namespace tolvane {

namespace {

bool havePrinter() { return !QPrinterInfo::defaultPrinter().isNull(); }

// The window picture scaled to fit the page, keeping its proportions.
void drawWindow(QPainter& painter, const QImage& window, const QRect& page) {
  const QSize size = window.size().scaled(page.size(), Qt::KeepAspectRatio);
  painter.drawImage(QRect(page.topLeft(), size), window);
}

}  // namespace

std::string pdfFallbackPath(const Session& s, const char* suffix) {
  QString folder = QString::fromLocal8Bit(folderOf(s.LastPath).c_str());
  if (folder.isEmpty() || !QFileInfo(folder).isDir() || !QFileInfo(folder).isWritable()) folder = QDir::homePath();
  QString stem = QFileInfo(QString::fromLocal8Bit(s.Working.Name.c_str())).completeBaseName();
  if (stem.isEmpty()) stem = "spectrum";
  return QDir(folder).filePath(stem + suffix).toLocal8Bit().toStdString();
}

std::string PrintReport(const Session& s) {
  if (havePrinter()) {
    QPrinter printer(QPrinter::HighResolution);
    QPainter painter;
    if (!painter.begin(&printer)) return "Printer error";
    const auto [date, time] = reportStamp();
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    drawReport(painter, buildReport(s, page.width(), page.height(), date, time));
    painter.end();
    return "Report sent to " + printer.printerName().toStdString();
  }
  const std::string path = pdfFallbackPath(s, "_report.pdf");
  if (!writeReportPdf(s, QString::fromLocal8Bit(path.c_str()))) return "Report not written: " + path;
  return "Report: " + path;
}

std::string PrintWindowImage(const Session& s, const QImage& window) {
  if (havePrinter()) {
    QPrinter printer(QPrinter::HighResolution);
    QPainter painter;
    if (!painter.begin(&printer)) return "Printer error";
    drawWindow(painter, window, printer.pageLayout().paintRectPixels(printer.resolution()));
    painter.end();
    return "H.Copy sent to " + printer.printerName().toStdString();
  }
  const std::string path = pdfFallbackPath(s, "_window.pdf");
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter writer(&buffer);
  writer.setResolution(300);
  writer.setPageOrientation(QPageLayout::Landscape);
  QPainter painter;
  if (!painter.begin(&writer)) return "H.Copy not written: " + path;
  drawWindow(painter, window, QRect(0, 0, writer.width(), writer.height()));
  painter.end();
  if (!writeFileAtomically(path, buffer.data().constData(), static_cast<size_t>(buffer.data().size())))
    return "H.Copy not written: " + path;
  return "H.Copy: " + path;
}

}  // namespace tolvane
