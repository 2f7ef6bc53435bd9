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
void EditStdClick(Session& session, const std::function<bool()>& runEditor);
// Shows the local date and time in the status field.
void Edit1Click(Session& session);

}  // namespace tolvane
