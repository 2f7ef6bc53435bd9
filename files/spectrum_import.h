#pragma once
// File > Import for every text format the program reads: EMSA/MSA, the
// MCA text format of small USB analysers, SPEC files with MCA data, and
// columns of text. The format is told from the content, whatever the
// file's extension: a first line <<PMCA SPECTRUM>> is the MCA format; a
// #SPECTRUM or leading #FORMAT line EMSA/MSA; "#S" scans with "@A" data
// SPEC; anything else is read as columns. The spectrum is loaded as an
// EMSA import loads it (padded to whole 512-channel blocks, counts rounded
// when they are not whole); a refused file leaves every record as it was.
#include <string>
#include <string_view>
#include <vector>

#include "files/emsa_import.h"
#include "files/text_spectrum_read.h"

namespace tolvane {

class Session;

enum class ImportFormat { Emsa, Pmca, Spec, Columns };

// "EMSA/MSA", "MCA text", "SPEC", "text columns".
const char* importFormatName(ImportFormat format);

ImportFormat detectImportFormat(std::string_view bytes);

struct SpectrumImport {
  ImportOutcome::Kind kind = ImportOutcome::Kind::Loaded;
  ImportFormat format = ImportFormat::Columns;
  ImportOutcome emsa;     // the EMSA import's own outcome (format Emsa)
  TextSpectrumRead text;  // the other readers' outcome
  int channels = 0;       // channels shown after padding (Loaded)
  SpectrumAdoption adoption;  // what the load did besides (Loaded)

  // The spectrum read (Loaded), whichever reader read it.
  const EmsaSpectrum& spectrum() const { return format == ImportFormat::Emsa ? emsa.read.spectrum : text.spectrum; }
  // "line 3: text in data"; empty unless Refused.
  std::string refusal() const;
  // What the reader accepted with a remark, one sentence each.
  std::vector<std::string> warnings() const;
  // "Counts rounded; Padded 21 -> 512 ch" as for EMSA; "" when nothing.
  std::string adjustments() const;
};

SpectrumImport importSpectrum(Session& session, std::string_view bytes, const std::string& name);

// Reads the file at `path` (at most kEmsaMaxFileBytes) and imports it.
SpectrumImport importSpectrumPath(Session& session, const std::string& path);

}  // namespace tolvane
