#pragma once
// The "Mem" group: show the MCA slot or one of the three memories, and
// SnapShot, which freezes the current picture of the selected slot as an
// overlay.
namespace tolvane {

class Session;

// Shows memory 1..3 (Mem1Spec, Mem2Spec, Mem3Spec).
void MemSpecClick(Session& session, int memory);
// Shows the MCA slot, refreshed from the analyser when it is open.
void McaMemClick(Session& session);
// Toggles the overlay of the selected slot (Session::SelectedMemory).
void OverLapONClick(Session& session);

}  // namespace tolvane
