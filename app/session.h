#pragma once
// The program's whole working state, owned by the main window and living
// as long as it does: the engine's state (spectra, setups, view, ROIs,
// calibration, standards, the link), the window's own state (texts, page
// fields, the timer mirror, button enablement) and the plot model with the
// painter that draws it. Handlers work on a Session. Many engine operations
// take only the records they need; others still take the whole Session
// (they read or write the window's half as well).
#include "app/engine_state.h"
#include "app/window_state.h"
#include "display/plot_model.h"

namespace tolvane {

class PlotPainter;

class Session : public EngineState, public WindowState {
 public:
  Session(FtdiApi& api, Clock& clock);

  PlotModel Plot;  // what the plot shows, computed before it is drawn
  PlotPainter* Painter = nullptr;
};

// Puts the start-up values into every record; run once when the window is
// built (and by the constructor, so a fresh Session is already in that state).
void InitialiseState(Session& session);

}  // namespace tolvane
