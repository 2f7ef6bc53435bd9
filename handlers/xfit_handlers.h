#pragma once
// The "Xfit" page's commands and the status field's click.
#include <functional>
#include <string>

namespace tolvane {

class Session;

inline constexpr const char* kSingularText = "Xfit: singular standards";
inline constexpr const char* kNoSampleText = "Xfit: no sample";
inline constexpr const char* kLiveTimesDifferText = "Xfit: live times differ";

// Registers the shown spectrum as the standard of the selected ROI.
void AddStdClick(Session& session);
// Loads the table at `tablePath` (empty = cancelled) and its standards,
// shows the count in the status field with why nothing was loaded or which
// standard was read as its blocks say, and sets ROIs from the table.
void LoadStdClick(Session& session, const std::string& tablePath);
// Fits the shown spectrum. `chooseTable` asks for a table when none has
// been loaded; `runEditor` shows the standards editor and returns whether
// it ended with OK (the plot is then redrawn).
void MLSQfitClick(Session& session, const std::function<std::string()>& chooseTable,
                  const std::function<bool()>& runEditor);
// "Quant": the last fit's K-ratios to wt% by fundamental parameters under
// the conditions in s.FitQuant (read beside the table when it was loaded).
// The result, or why there is none, goes to s.FitQuant.Last and a summary
// to the status field.
void QuantClick(Session& session);
// The same without the status text: what the fit itself does so that the
// editor can show the wt% at once.
void quantifyLastFit(Session& session);
// The editor saved the table at `path`: its conditions (when they were read
// or set and can be used) are written beside it, and the table's
// conditions are from now on those of that file. The status field says
// when they cannot be written.
void TableSavedAs(Session& session, const std::string& path);
void EditStdClick(Session& session, const std::function<bool()>& runEditor);
// Shows the local date and time in the status field.
void Edit1Click(Session& session);

}  // namespace tolvane
