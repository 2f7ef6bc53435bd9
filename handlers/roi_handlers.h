#pragma once
// The ROI page: choose one of the 16 entries, edit its window, label and
// colour, and switch it on or off. Switching ROIs 1 to 4 on also sends their
// window to the analyser for its SCA outputs.
#include <string>

namespace tolvane {

class Session;

inline constexpr const char* kRoiLowError = "Error ! ROI LowCh";
inline constexpr const char* kRoiHighError = "Error ! ROI HighCh";
inline constexpr const char* kRoiUnknownError = "Error ! ROI # Unknown";

// The list's item `index` was chosen (0..15, 16 the empty item, -1 none).
void ROINoSelectChange(Session& session, int index);
// The ON box was clicked; RoiPage.On holds its new state.
void ROIOnCheckClick(Session& session);
// The user changed a channel edit: keeps the text and checks it.
void EditROILowChange(Session& session, const std::string& text);
void EditROIHighChange(Session& session, const std::string& text);
// The momentary boxes: copy the cursor channel into the low or high edit.
void ROILowChClick(Session& session);
void ROIHighChClick(Session& session);

}  // namespace tolvane
