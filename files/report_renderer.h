#pragma once
// Draws the plot report on a page: a printer through Qt's print support, or
// a PDF file through the same drawing code.
#include <QDateTime>
#include <QFont>
#include <QString>
#include <string>

class QPaintDevice;
class QPainter;

namespace tolvane {

class Session;
struct ReportModel;

// Draws `model` with `painter`, whose device is the page in printer pixels.
void drawReport(QPainter& painter, const ReportModel& model);

// The report of the session's working spectrum as a one-page PDF of
// `pageWidth` x `pageHeight` pixels at `dpi`. Returns whether it was written.
[[nodiscard]] bool writeReportPdf(const Session& session, const QString& path, int pageWidth = 4800, int pageHeight = 6600,
                    int dpi = 600);

// The report's stamp texts for `now` (the current time by default): the
// short date and the time of day, without a time zone.
std::pair<std::string, std::string> reportStamp(const QDateTime& now = QDateTime::currentDateTime());

// The report's font for a text `cellHeight` pixels high. The height is that
// of the character cell (ascent plus descent), not of the em, so a text is
// no taller than its line.
QFont reportFont(int cellHeight);

}  // namespace tolvane
