#include "files/export_file.h"

#include "app/session.h"
#include "files/atomic_file.h"
#include "files/csv_export.h"
#include "files/path_name.h"
#include "files/spec_export.h"

namespace tolvane {

std::optional<ExportFormat> exportFormatNamed(const std::string& name) {
  if (name == "msa") return ExportFormat::Msa;
  if (name == "spec") return ExportFormat::Spec;
  if (name == "csv") return ExportFormat::Csv;
  return std::nullopt;
}

std::string exportText(const Session& s, ExportFormat format, const std::string& path, EmsaDataForm form) {
  const ExportedSpectrum spectrum = spectrumShown(s);
  switch (format) {
    case ExportFormat::Msa:
      return emsaText(spectrum, form);
    case ExportFormat::Spec:
      return specText(spectrum, fileNameOf(path));
    case ExportFormat::Csv:
      return csvText(spectrum);
  }
  return {};
}

ExportOutcome writeExportFile(const Session& s, const std::string& path, ExportFormat format, EmsaDataForm form) {
  const std::string text = exportText(s, format, path, form);
  return writeFileAtomically(path, text.data(), text.size()) ? ExportOutcome::Written : ExportOutcome::WriteFailed;
}

}  // namespace tolvane
