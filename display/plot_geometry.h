#pragma once
// Sizes and places of the plot's pictures inside the paint box.
namespace tolvane {

inline constexpr int kPlotWidth = 512;   // W
inline constexpr int kPlotHeight = 312;  // H
inline constexpr int kScaleStripWidth = 16;
inline constexpr int kScaleStripHeight = 317;
inline constexpr int kAxisStripWidth = 512;
inline constexpr int kAxisStripHeight = 35;
inline constexpr int kPaintBoxWidth = 528;
inline constexpr int kPaintBoxHeight = 336;
inline constexpr int kPlotLeft = 16, kPlotTop = 5;    // PlotImage in the paint box
inline constexpr int kAxisLeft = 16, kAxisTop = 317;  // ChannelAxisStrip in the paint box
inline constexpr int kEnvelopeColumns = 4096;         // room in every envelope
inline constexpr int kShownRois = 10;                 // entries 0..9 are summed and drawn

}  // namespace tolvane
