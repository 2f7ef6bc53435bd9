#pragma once
// Draws the plot report on a page: a printer through Qt's print support, or
// a PDF file through the same drawing code.
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
bool writeReportPdf(const Session& session, const QString& path, int pageWidth = 4800, int pageHeight = 6600,
                    int dpi = 600);

// The report's stamp texts for now: the short date and the time.
std::pair<std::string, std::string> reportStamp();

}  // namespace tolvane
