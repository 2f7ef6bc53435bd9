#pragma once
// The MCA setup dialog's logic: which memory size, preset time, dead time
// per event and header texts it shows, what it stores when it closes, and
// what "SetUp" applies after an OK.
#include <functional>
#include <string>

namespace tolvane {

class Session;

// The dialog's fields as the user sees and edits them.
struct McaSetupFields {
  int ChannelCount = 4096;  // the checked size button
  std::string PresetRT;     // seconds
  std::string DeadTime;     // microseconds
  std::string SpcLabel1;    // comment
  std::string SpcLabel2;    // sample identification
  // The precision preset: also stop when ROI # PrecisionRoi's net sum
  // reaches a relative sigma of PrecisionPct percent.
  bool PrecisionOn = false;
  std::string PrecisionRoi;  // 0 .. 15
  std::string PrecisionPct;  // above 0, at most 100
};

inline constexpr const char* kPresetTimeError = "Error ! Preset Time";
inline constexpr const char* kDeadTimeError = "Error ! Dead Time";
inline constexpr const char* kPrecisionError = "Error ! Precision";

McaSetupFields LoadSetupFields(Session& session);
// Stores the fields into the MCA setup. A preset or dead time that is not a
// number keeps the old value and says so in the status field; so does a
// precision preset whose ROI or percentage is not valid. Returns whether
// every field was taken.
[[nodiscard]] bool StoreSetupFields(Session& session, const McaSetupFields& fields);

// "SetUp" on the MCA page. `runDialog` shows the dialog with the fields
// and returns whether it ended with OK; the fields it leaves are stored
// either way.
void Button10Click(Session& session, const std::function<bool(McaSetupFields&)>& runDialog);
// Its two halves, for a window that shows the dialog on its own thread and
// talks to the analyser on another: the fields the dialog opens with, and
// what follows the dialog (storing the fields, and after OK sending the
// preset and memory size).
McaSetupFields OpenMcaSetup(Session& session);
void ApplyMcaSetup(Session& session, const McaSetupFields& fields, bool ok);

}  // namespace tolvane
