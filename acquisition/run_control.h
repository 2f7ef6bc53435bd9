#pragma once
// The MCA page's Start, Stop and Clear, and the polling timer's tick.
namespace tolvane {
class Session;
// The status field after a tick that found the analyser unplugged.
inline constexpr const char* kDisconnectedText = "Analyser disconnected";
void McaStartClick(Session& session);
void McaStopClick(Session& session);
void McaClearClick(Session& session);
// One tick of Timer1: the MCA tick, or the mapping tick while a scan runs.
void Timer1Timer(Session& session);
void McaTick(Session& session);
void MappingTick(Session& session);
}  // namespace tolvane
