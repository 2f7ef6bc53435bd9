#pragma once
// Everything the plot shows, computed by the core before anything is drawn:
// trace envelopes, ROI sums and shading columns, the cursor marker, the
// readout texts, scale ticks and grid rows, channel ticks and the frame
// preview. The renderer draws this model and nothing else; tests check it
// as numbers.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "records/shared_records.h"
#include "display/plot_geometry.h"
#include "display/plot_mapping.h"
#include "lines/line_markers.h"

namespace tolvane {

class EngineState;

// Per plot column, the row of the highest value (top) and of the lowest
// (bottom) that falls into it.
struct TraceEnvelope {
  std::array<int32_t, kEnvelopeColumns> top{};
  std::array<int32_t, kEnvelopeColumns> bottom{};
  bool operator==(const TraceEnvelope&) const = default;
};

// A text drawn with a clear background. (x, y) is the top left of the
// text; a right-aligned text ends at x instead.
struct PlotText {
  std::string text;
  int32_t x = 0, y = 0;
  Colour24 colour = kWhite;
  bool rightAligned = false;
  bool operator==(const PlotText&) const = default;
};

// One text of a list cut short of another (right-aligned) text of the same
// list, so the two never overlap: indices into that list.
struct TextClip {
  size_t text = 0;
  size_t before = 0;
  bool operator==(const TextClip&) const = default;
};

struct RoiMark {
  int32_t index = 0;
  Colour24 colour = kBlack;
  PlotText label, gross, net;  // name and sums at the right of the plot
  bool shaded = false;         // columns xs .. xe-1 are shaded
  int32_t xs = 0, xe = 0;
  PlotText shortLabel;  // first two letters above the highest shaded column
  bool operator==(const RoiMark&) const = default;
};

struct CursorMark {
  bool shown = false;
  int32_t x = 0;
  int32_t fromRow = 0, toRow = 0;  // line from fromRow towards toRow (end excluded)
  bool operator==(const CursorMark&) const = default;
};

// A line from (x0, row) towards (x1, row), end excluded.
struct StripLine {
  int32_t x0 = 0, x1 = 0, row = 0;
  bool operator==(const StripLine&) const = default;
};

struct AxisTick {
  int32_t x = 0;
  int32_t length = 0;  // from row 0 towards row `length`
  bool operator==(const AxisTick&) const = default;
};

struct PreviewPixel {
  int32_t x = 0, y = 0;
  bool operator==(const PreviewPixel&) const = default;
};

struct ScaleFrame {
  bool logScale = true;
  std::vector<StripLine> stripLines;  // on ScaleStrip
  std::vector<PlotText> stripLabels;  // "e0" .. "e5" in log mode
  std::vector<int32_t> gridRows;      // across PlotBackground, maroon
  std::vector<PlotText> captions;     // on PlotBackground
  std::vector<PreviewPixel> preview;  // onto PlotImage after the background
  Colour24 previewColour = kLime;
  bool operator==(const ScaleFrame&) const = default;
};

// The analyser's own 256-point preview as the mapping tick draws it.
struct MappingPreview {
  std::array<int32_t, kPlotWidth> rows{};  // y[x]
  std::vector<PlotText> texts;
  std::vector<TextClip> textClips;  // the comment stops before the real time
  std::vector<RoiMark> marks;  // columns xs .. xe-1 from the bottom up to y[x]
  CursorMark cursor;
  bool operator==(const MappingPreview&) const = default;
};

struct PlotModel {
  int32_t W = kPlotWidth;
  int32_t H = kPlotHeight;
  TraceEnvelope Live, Snapshot, Mem1, Mem2, Mem3;
  ColumnMapping Mapping;
  std::vector<PlotText> Readouts;
  std::vector<TextClip> ReadoutClips;  // the name and comment stop before the time values
  std::vector<RoiMark> Rois;
  CursorMark Cursor;
  ScaleFrame Frame;
  std::vector<AxisTick> AxisTicks;
  MappingPreview Preview;
  std::vector<LineMarker> LineMarkers;  // element line markers, when shown
  // How the traces are drawn, as the view had it when the model was built.
  Colour24 TraceColour = kLime;
  bool SnapshotShown = false, Mem1Shown = false, Mem2Shown = false, Mem3Shown = false;
  bool FitOverlayShown = false;  // the Mn fit's four curves in the overlay tops
  bool operator==(const PlotModel&) const = default;
};

// The builders below read the engine's state and write only `plot`.

// What a paint shows: live envelope, readouts (an idle analyser shows a
// rate of 0), ROI sums and shading, line markers, cursor marker, and how
// the traces and overlays are drawn. The overlay envelopes are left as
// they are.
void buildPaintModel(const EngineState& state, PlotModel& plot);
// The scale strip, grid, captions and, with `full`, the preview of the
// whole memory (which also sets the live envelope's top rows).
void buildScaleFrame(const EngineState& state, bool logScale, bool full, PlotModel& plot);
// Channel tick marks for the current view.
void buildChannelTicks(const EngineState& state, PlotModel& plot);
// The mapping tick's picture from the status block last received.
void buildMappingPreview(const EngineState& state, PlotModel& plot);

// Pieces exposed for tests.
void fillLiveEnvelope(const EngineState& state, TraceEnvelope& envelope, const ColumnMapping& mapping);
// The same envelope for any counts (channels 0 .. size-1) in the view and
// scale of `display`.
void fillCountsEnvelope(const int32_t* counts, int32_t size, const DisplayState& display, TraceEnvelope& envelope,
                        const ColumnMapping& mapping);
std::vector<AxisTick> channelTicks(int32_t first, int32_t last, int32_t width);

}  // namespace tolvane
