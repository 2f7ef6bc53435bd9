#pragma once
// Keeps the pass a mapping step just counted: numbers it, gives the working
// spectrum the pass's header and times (the dwell), and with "Save
// Spectrum Data" chosen writes its spectrum as a file of its own beside
// the chosen one. A pass whose transfer did not complete holds blocks of
// the pass before it: it is counted as lost, not saved or adopted.
#include <string>

#include "acquisition/mapping_tick.h"

namespace tolvane {

class Session;

enum class [[nodiscard]] PassKeep {
  NotSaving,      // no file chosen: the pass is only counted
  Saved,          // written to Path
  Lost,           // the transfer did not complete (LostPasses counts it)
  NumbersUsedUp,  // no pass number left: not saved
  WriteFailed,    // Path could not be written (UnsavedPasses counts it)
};

struct [[nodiscard]] KeptPass {
  PassKeep Outcome = PassKeep::NotSaving;
  std::string Path;
};

// For a counted pass (PassRead or PassLost).
KeptPass KeepPass(Session& session, MappingTickOutcome pass);

}  // namespace tolvane
