#pragma once
// The one-page plot report, laid out in printer pixels before anything is
// drawn: a landscape graph on a portrait page, the channel axis running down
// the page, the intensity axis to the right, text turned 270 degrees.
#include <cstdint>
#include <string>
#include <vector>

#include "records/shared_records.h"

namespace tolvane {

class Session;

struct ReportGeometry {
  int32_t X0 = 0, Y0 = 0, XW = 0, YH = 0, FH = 0;
};

// Each product is rounded to single precision, then truncated.
ReportGeometry reportGeometry(int32_t pageWidth, int32_t pageHeight);

struct ReportPoint {
  int32_t x = 0, y = 0;
};

struct ReportLine {
  ReportPoint from, to;
  Colour24 colour = kBlack;
  int32_t width = 2;
};

struct ReportText {
  std::string text;
  ReportPoint at;  // the top left of the text before it is turned
  int32_t height = 0;
  bool turned = true;  // 270 degrees: runs down the page, letters left of x
};

struct ReportModel {
  ReportGeometry g;
  std::vector<ReportPoint> trace;  // a polyline
  Colour24 traceColour = kBlack;
  std::vector<ReportLine> lines;  // grid, frame, ticks, in drawing order
  std::vector<ReportText> texts;
  int32_t channelsPerRow = 0;  // q
  int32_t majorStep = 0, minorStep = 0;
};

// Channel tick steps (major, minor) for R displayed channels.
std::pair<int32_t, int32_t> reportChannelSteps(int32_t shown);

// The report of the working spectrum over the current view. `date` and
// `time` are the report stamp's texts.
ReportModel buildReport(const Session& session, int32_t pageWidth, int32_t pageHeight, const std::string& date,
                        const std::string& time);

}  // namespace tolvane
