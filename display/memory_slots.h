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
// number.
bool showMemory(Session& session, int memory);
// Shows the MCA slot from its header; its counts stay the working ones.
void showMcaSlot(Session& session);
// The times of a run that has ended, from the status block last received,
// as the MCA tick takes them when the preset is reached.
void takeRunEndTimes(EngineState& state);

// What SnapShot did to the selected slot's overlay.
enum class OverlayChange { Taken, Cleared, NoSlot };
// Toggles the overlay of the selected slot (`SelectedMemory`): a shown
// overlay is hidden; a hidden one is taken from the plot's live envelope.
OverlayChange toggleOverlay(EngineState& state, PlotModel& plot);

}  // namespace tolvane
