#pragma once
// The ROI table's edits: switch an entry on with a window, label and colour
// (or off), with the reason when the channels are not numbers. ROIs 1 to 4
// also go to the analyser for its SCA outputs.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "records/shared_records.h"

namespace tolvane {

inline constexpr size_t kElementLabelLength = 7;

// What the page gives an entry when it is switched on.
struct RoiSettings {
  std::optional<int32_t> low, high;  // empty: the text was not a whole number
  std::string label;                 // kept to seven characters
  Colour24 colour = kBlue;
};

enum class RoiSwitch {
  Shown,    // the entry took the settings and is shown
  Hidden,   // the entry is hidden, its values kept
  NoEntry,  // no entry 0..15 chosen: nothing changed
  BadLow,   // the low channel is not a number: nothing changed
  BadHigh,  // the high channel is not a number: only the low channel was stored
};

// Switches entry `index` on with `settings`, or off. The channels are
// stored as given: no check that low < high or that they lie in the spectrum.
RoiSwitch switchRoi(RoiTable& table, int index, bool on, const RoiSettings& settings);

// Whether the analyser keeps the window of this entry (1..4).
bool roiGoesToAnalyser(int index);

}  // namespace tolvane
