#pragma once
namespace tolvane {
class Session;
// The labels under the plot: first and last channel of the view ("0ch"),
// the cursor channel, and the counts at the cursor.
void ShowViewLabels(Session& session);
}  // namespace tolvane
