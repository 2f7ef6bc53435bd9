#pragma once
// "Load Std": the table is read, the records in use are selected, and each
// selected standard's spectrum is read from the table's folder by the
// standards' rule of the spectrum file (whole 512-count blocks, at most 8)
// and filtered. What came of it is an outcome that names the standard and
// the reason, so that the window, the command line and the batch say the
// same thing.
#include <cstdint>
#include <string>
#include <vector>

#include "xfit/mlsq_fit.h"

namespace tolvane {

// A standard read as its whole blocks say while its header says otherwise.
struct StandardReadAsBlocks {
  int32_t index = 0;  // record number in the table, 0..15
  std::string element;
  std::string file;  // its file name in the table
  int32_t headerChannels = 0;
  int32_t channels = 0;  // read
};

struct [[nodiscard]] StandardsLoad {
  enum class Outcome {
    Loaded,           // `count` standards loaded and filtered
    Cancelled,        // no table chosen: nothing changed
    TableUnreadable,  // the table file cannot be opened
    NoStandardInUse,  // the table was read; no record is in use
    StandardMissing,  // a standard's spectrum file cannot be opened (or is a folder)
    StandardRefused,  // a standard's spectrum file holds no whole block of counts
  } outcome = Outcome::Cancelled;
  // Standards loaded: FitCount when Loaded, 0 otherwise (a load that
  // stopped at a standard keeps those before it, but counts none).
  int32_t count = 0;
  // The standard that stopped the load (StandardMissing, StandardRefused).
  int32_t index = -1;
  std::string element, file, reason;
  std::vector<StandardReadAsBlocks> readAsBlocks;
  bool loaded() const { return outcome == Outcome::Loaded; }
};

// Reads the table at `tablePath` (empty: the dialog was cancelled), selects
// the records in use and loads and filters their spectra from the table's
// folder. A standard that cannot be read stops the loading there.
[[nodiscard]] StandardsLoad LoadStandardTable(TDmVQRN& module, const std::string& tablePath);

// "Fe: fe.dat read as 512 channels, its header says 1000".
std::string readAsBlocksText(const StandardReadAsBlocks& standard);
// Why a load stopped: "Std No.2 (Fe) fe.dat: no such file"; "" when loaded.
std::string standardsLoadProblem(const StandardsLoad& load);
// The status field after "Load Std": the count, then why nothing was
// loaded or the first standard read as its blocks say ("1: Fe: fe.dat read
// as 512 channels, its header says 1000").
std::string standardsLoadStatus(const StandardsLoad& load);

}  // namespace tolvane
