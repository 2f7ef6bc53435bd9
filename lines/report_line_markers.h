#pragma once
// The line markers on the printed report: across the intensity axis from
// the frame, at each line's channel row, labelled and coloured as on screen.
namespace tolvane {

class Session;
struct ReportModel;

void addReportLineMarkers(const Session& session, ReportModel& report);

}  // namespace tolvane
