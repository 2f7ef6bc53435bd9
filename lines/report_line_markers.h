#pragma once
// The line markers on the printed report: across the intensity axis from
// the frame, at each line's channel row, labelled and coloured as on screen.
namespace tolvane {

class EngineState;
struct ReportModel;

void addReportLineMarkers(const EngineState& state, ReportModel& report);

}  // namespace tolvane
