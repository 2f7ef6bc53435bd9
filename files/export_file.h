#pragma once
// File > Export: the spectrum shown written in a format other programs
// read (EMSA/MSA, SPEC or CSV), replacing the target in one step.
#include <optional>
#include <string>

#include "files/emsa_writer.h"
#include "files/file_write_outcome.h"

namespace tolvane {

class Session;

enum class ExportFormat { Msa, Spec, Csv };

// "msa", "spec" or "csv".
std::optional<ExportFormat> exportFormatNamed(const std::string& name);

// The file's text for the spectrum shown; `path` names the file (SPEC
// writes its name into the file).
std::string exportText(const Session& session, ExportFormat format, const std::string& path,
                       EmsaDataForm form = EmsaDataForm::Y);

using ExportOutcome = FileWriteOutcome;

// Writes the spectrum shown to `path`, replacing the target in one step.
// The spectrum keeps its name: an export is a copy for another program,
// not the spectrum's own file.
ExportOutcome writeExportFile(const Session& session, const std::string& path, ExportFormat format,
                              EmsaDataForm form = EmsaDataForm::Y);

}  // namespace tolvane
