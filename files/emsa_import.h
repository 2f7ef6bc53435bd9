#pragma once
// File > Import: an EMSA/MSA file loaded into the spectrum shown as File >
// Read loads a spectrum file. Counts that are not whole numbers are
// rounded, and a spectrum that is not a whole number of 512-count blocks
// is padded with zero counts to the next block; the outcome says which. A
// refused file leaves every record as it was and names the line.
#include <string>
#include <string_view>

#include "files/emsa_reader.h"
#include "files/spectrum_file.h"

namespace tolvane {

class Session;

struct [[nodiscard]] ImportOutcome {
  enum class Kind { Loaded, CannotOpen, TooLarge, Refused } kind = Kind::Loaded;
  EmsaReadOutcome read;       // the reader's verdict (Refused) and spectrum (Loaded)
  int channels = 0;           // channels shown after padding (Loaded)
  SpectrumAdoption adoption;  // what the load did besides (Loaded)
};

inline constexpr size_t kEmsaMaxFileBytes = 64 * 1024 * 1024;

// What a loaded file needed: "Kept P values, #NPOINTS N", "Scale from X
// column", "Counts rounded", "Padded P -> N ch", joined by "; ", or ""
// when it needed none (or was not loaded).
std::string importAdjustmentText(const ImportOutcome& outcome);

// Loads a read spectrum into the working record named `name`, as a read
// of a spectrum file does.
SpectrumAdoption loadEmsaSpectrum(Session& session, const EmsaSpectrum& spectrum, const std::string& name);

// Reads `bytes` and loads them when the reader accepts them.
ImportOutcome importEmsa(Session& session, std::string_view bytes, const std::string& name);

// Reads the file at `path` (at most kEmsaMaxFileBytes) and loads it, as
// File > Import does once the path is chosen.
ImportOutcome importEmsaPath(Session& session, const std::string& path);

// Reads the whole file at `path` into `bytes`, for any of the importers:
// Loaded, or CannotOpen, or TooLarge past kEmsaMaxFileBytes.
ImportOutcome::Kind readImportFile(const std::string& path, std::string& bytes);

}  // namespace tolvane
