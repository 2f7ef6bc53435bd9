#pragma once
namespace tolvane {
class Session;
// The labels under the plot: first and last channel of the view ("0ch"),
// the cursor channel, and the counts at the cursor.
void ShowViewLabels(Session& session);
// The cursor's energy and the unit (`Label8`, `Label9`) when a calibration
// is set; left as they are otherwise. Run whenever the cursor or the
// calibration may have changed, so the label never lags the cursor.
void ShowCursorEnergy(Session& session);
}  // namespace tolvane
