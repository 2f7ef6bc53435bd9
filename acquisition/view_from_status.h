#pragma once
namespace tolvane {
class DeviceStatus;
struct DisplayState;
// Takes the analyser's view range and its full-scale code into the display
// settings. The cursor is taken too when `takeCursor` is set (the MCA
// tick); the mapping tick only shows it.
void TakeViewFromStatus(const DeviceStatus& status, DisplayState& display, bool takeCursor);
}  // namespace tolvane
