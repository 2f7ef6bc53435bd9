#pragma once
// The MCA page's buttons and the polling timer's tick: each composes the
// link and acquisition operations and turns their outcomes into the
// window's texts, the timer's state and the repaints.
#include "device/mca_commands.h"

namespace tolvane {

class Session;
class DeviceStatus;
struct WindowTexts;

// The status field after a tick that found the analyser unplugged.
inline constexpr const char* kDisconnectedText = "Analyser disconnected";
// Shown in the status field when a stop gets no answer: polling stops,
// and Stop and Abort still send "$S;".
inline constexpr const char* kStopLinkFailedText = "No answer to stop: the analyser may still be running";
// A stop sent again after one that got no answer was acknowledged.
inline constexpr const char* kStopConfirmedText = "Analyser stopped";
// Exit asked while a run counted, answered "Stop and keep the spectrum".
inline constexpr const char* kRunStoppedKeptText = "Run stopped: spectrum kept";
// OpenMCA found nothing to open and the link names no set-up problem.
inline constexpr const char* kNoAnalyserText = "No analyser found: check USB cable and power";

// "OpenMCA": opens analyser 0 the first time; later presses repeat the open
// sequence silently.
void McaOpenClick(Session& session);
// The start buttons open the analyser themselves when no listing has
// succeeded yet, and report the count in the status field.
void OpenDeviceIfUnlisted(Session& session);

void McaStartClick(Session& session);
void McaStopClick(Session& session);
void McaClearClick(Session& session);
// One tick of Timer1: the MCA tick, or the mapping tick while a scan runs.
void Timer1Timer(Session& session);
void McaTick(Session& session);

// The analyser's range and cursor in Label1 .. Label3.
void ShowAnalyserView(WindowTexts& texts, const DeviceStatus& status);
// What a stop's outcome means for the polling timer and the status field:
// accepted or unreachable, the timer stops (unreachable also says so); a
// refusal leaves the run going. `retried`: the stop before this one got
// no answer, and an acknowledgement now says the analyser has stopped.
void ShowStopOutcome(Session& session, LinkOutcome stop, bool retried = false);

}  // namespace tolvane
