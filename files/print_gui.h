#pragma once
// Printing the report and the window: on the default printer when one is
// configured (CUPS through Qt's print support), otherwise as a PDF file in
// the folder of the last spectrum file, or the home folder. Each returns
// the text for the status field.
#include <QImage>
#include <string>

namespace tolvane {

class Session;

std::string PrintReport(const Session& session);
std::string PrintWindowImage(const Session& session, const QImage& window);

// Where a PDF goes when no printer is configured.
std::string pdfFallbackPath(const Session& session, const char* suffix);

}  // namespace tolvane
