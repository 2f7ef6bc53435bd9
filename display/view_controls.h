#pragma once
// The view rules behind the view controls, on the state and without the
// window: which mode the controls work in, the Auto step, the channel under
// the mouse, the peak Snap Peak finds and the frame each command sends.
#include <cstdint>
#include <optional>
#include <string>

namespace tolvane {

class EngineState;

// The analyser is open and acquiring: the controls send view commands and
// the next status block brings the analyser's view back.
bool analyserMode(const EngineState& state);

// The smallest full-scale step above `maximum`, at most 20.
int32_t autoFullScaleStep(int64_t maximum);
// The largest count in the view window (0 when it holds none above 0).
int32_t viewMaximum(const EngineState& state);
// The Auto command for a step: "$V", '0' + step, ";".
std::string autoScaleFrame(int32_t step);

enum class ScrollCode { LineLeft, LineRight, Other };
// The scroll command for a scroll event: "$l;", "$r;" or "$ ;".
std::string scrollFrame(ScrollCode code);
// Moves the view one line in local mode and the scroll bar's `position`
// with it (by 10 per line, whether or not the view could move).
void scrollLocalView(EngineState& state, ScrollCode code, int32_t& position);

// The channel under plot column `x` of the paint box (the plot picture
// starts at x = 16), by the kept status block's view while the analyser is
// open, else by the local view; kept inside the spectrum.
int32_t channelAtPaintBoxX(const EngineState& state, int32_t x);

// Snap Peak: the largest count within 10 channels of the cursor (the lowest
// channel wins a tie) and the centroid of the 11 channels around it.
struct SnappedPeak {
  float centroid = 0.0f;
  int32_t cursor = 0;  // the centroid rounded, inside the spectrum
};
// Nothing when no count near the cursor is above 0.
std::optional<SnappedPeak> snapPeak(const EngineState& state);

// Expand and Compress in local mode: the new window, centred on the cursor.
void expandLocalView(EngineState& state);
void compressLocalView(EngineState& state);
// Copies the local view range into the kept status block, which the mouse
// reads while the analyser is open.
void keepViewInStatus(EngineState& state);

}  // namespace tolvane
