#pragma once
// The "Mem" group's slots: the MCA slot and the three memories, shown by
// copying them into the working spectrum, and the overlays SnapShot takes
// of the current picture.
namespace tolvane {

class EngineState;
class Session;
struct PlotModel;

// Shows memory 1..3: its name, header, counts, times, calibration and ROI
// windows become the working ones. False (nothing changes) for another
// number. Leaving the MCA slot keeps its header for the way back.
[[nodiscard]] bool showMemory(Session& session, int memory);
// Shows the MCA slot from the header kept when it was left (else from the
// acquisition template); its counts stay the working ones.
void showMcaSlot(Session& session);
// The times of a run that has ended, from the status block last received;
// the real time is the preset's when the run reached it.
void takeRunEndTimes(EngineState& state);

// What SnapShot did to the selected slot's overlay.
enum class [[nodiscard]] OverlayChange { Taken, Cleared, NoSlot };
// Toggles the overlay of the selected slot (`SelectedMemory`): a shown
// overlay is hidden; a hidden one is taken from the plot's live envelope.
OverlayChange toggleOverlay(EngineState& state, PlotModel& plot);

}  // namespace tolvane
