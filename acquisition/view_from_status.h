#pragma once
namespace tolvane {
class Session;
// Takes the analyser's view range into the display and the range labels,
// and its full-scale code into the scale setting. The cursor is taken too
// when `takeCursor` is set (the MCA tick); the mapping tick only shows it.
void TakeViewFromStatus(Session& session, bool takeCursor);
}  // namespace tolvane
