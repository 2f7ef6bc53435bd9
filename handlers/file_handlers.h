#pragma once
// The File menu's handlers: each runs the file operation and then shows
// its outcome as the window does, in the status field, the range labels
// and a redraw of the plot in the log view.
#include <string>

#include "files/ascii_dump.h"
#include "files/emsa_import.h"
#include "files/spectrum_import.h"
#include "files/export_file.h"
#include "files/spectrum_file.h"

namespace tolvane {

class Session;

inline constexpr const char* kFileWriteErrorText = "File Write Error !";
inline constexpr const char* kFileReadErrorText = "File Read Error !";

// The status text of a refused read: "Refused: M ch".
std::string refusedReadText(int channels);

// File > Write once the path is chosen. Returns whether the file was
// written; a failure puts "File Write Error !" in the status field.
[[nodiscard]] bool WriteSpectrumFile(Session& session, const std::string& path);

// File > Read once the path is chosen. A file that cannot be opened shows
// "File Read Error !"; a refused file shows "Refused: M ch" (M the
// channels found in whole blocks) and redraws. Either way the working
// spectrum keeps its data and its name. Returns whether the file could be
// opened.
[[nodiscard]] bool ReadSpectrumFile(Session& session, const std::string& path);
// The same for a read already made; `path` names the spectrum.
[[nodiscard]] bool takeSpectrumFile(Session& session, const std::string& path, const SpectrumFileRead& read);

// Shows a spectrum just taken into the working record: the range labels,
// a note when the selected memory could not keep it whole, and a redraw
// in the log view.
void showAdoptedSpectrum(Session& session, const SpectrumAdoption& adoption);

// File > AsciiWrite once the path is chosen; a failure puts "File Write
// Error !" in the status field.
[[nodiscard]] bool WriteAsciiDump(Session& session, const std::string& path);

// File > Export once the path and format are chosen; a failure puts "File
// Write Error !" in the status field.
ExportOutcome ExportSpectrumFile(Session& session, const std::string& path, ExportFormat format,
                                 EmsaDataForm form = EmsaDataForm::Y);

// The status text for an import: the padding and rounding of a loaded
// file ("" when there was neither), or why a file was refused.
std::string importStatusText(const ImportOutcome& outcome);
// File > Import once the path is chosen; the status field shows
// importStatusText when it is not empty.
ImportOutcome ImportEmsaFile(Session& session, const std::string& path);

// The status field's text after an import of any format: as for EMSA/MSA
// above; for the other formats the refusal after the format's short name
// ("MCA line 44: no <<END>> after the data: ...", "SPEC ...", "Text ..."),
// or what the load adjusted.
std::string spectrumImportStatusText(const SpectrumImport& outcome);
// File > Import once the path is chosen: any format the program reads,
// told from the content.
SpectrumImport ImportSpectrumFile(Session& session, const std::string& path);

}  // namespace tolvane
