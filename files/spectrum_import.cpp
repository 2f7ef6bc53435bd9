#include "files/spectrum_import.h"

#include <fstream>

#include "app/session.h"
#include "files/column_reader.h"
#include "files/path_name.h"
#include "files/pmca_reader.h"
#include "files/spec_mca_reader.h"

namespace tolvane {

const char* importFormatName(ImportFormat format) {
  switch (format) {
    case ImportFormat::Emsa:
      return "EMSA/MSA";
    case ImportFormat::Pmca:
      return "MCA text";
    case ImportFormat::Spec:
      return "SPEC";
    case ImportFormat::Columns:
      return "text columns";
  }
  return "";
}

ImportFormat detectImportFormat(std::string_view bytes) {
  bool first = true, scan = false, mcaData = false;
  for (const std::string_view raw : textLines(bytes)) {
    const std::string_view line = trimmed(raw);
    if (line.empty()) continue;
    const std::string head = upperCase(line.substr(0, 9));
    if (first && upperCase(line) == "<<PMCA SPECTRUM>>") return ImportFormat::Pmca;
    if ((first && head.rfind("#FORMAT", 0) == 0) || head.rfind("#SPECTRUM", 0) == 0) return ImportFormat::Emsa;
    scan = scan || line.substr(0, 3) == "#S " || line == "#S";
    mcaData = mcaData || line.substr(0, 2) == "@A";
    first = false;
  }
  return scan || mcaData ? ImportFormat::Spec : ImportFormat::Columns;
}

std::string SpectrumImport::refusal() const {
  if (kind != ImportOutcome::Kind::Refused) return "";
  return format == ImportFormat::Emsa ? describeEmsaRefusal(emsa.read) : text.describe();
}

std::vector<std::string> SpectrumImport::warnings() const {
  if (kind != ImportOutcome::Kind::Loaded) return {};
  return format == ImportFormat::Emsa ? emsaWarnings(emsa.read.spectrum) : text.warnings;
}

std::string SpectrumImport::adjustments() const {
  if (format == ImportFormat::Emsa) return importAdjustmentText(emsa);
  if (kind != ImportOutcome::Kind::Loaded) return "";
  std::string out;
  const int points = static_cast<int>(text.spectrum.counts.size());
  if (text.spectrum.rounded) out = "Counts rounded";
  if (points != channels)
    out += (out.empty() ? "" : "; ") + ("Padded " + std::to_string(points) + " -> " + std::to_string(channels) + " ch");
  return out;
}

SpectrumImport importSpectrum(Session& s, std::string_view bytes, const std::string& name) {
  SpectrumImport o;
  o.format = detectImportFormat(bytes);
  if (o.format == ImportFormat::Emsa) {
    o.emsa = importEmsa(s, bytes, name);
    o.kind = o.emsa.kind;
    o.channels = o.emsa.channels;
    o.adoption = o.emsa.adoption;
    return o;
  }
  o.text = o.format == ImportFormat::Pmca ? readPmca(bytes)
           : o.format == ImportFormat::Spec ? readSpecMca(bytes)
                                            : readColumns(bytes);
  if (!o.text.ok()) {
    o.kind = ImportOutcome::Kind::Refused;
    return o;
  }
  o.adoption = loadEmsaSpectrum(s, o.text.spectrum, name);
  o.channels = o.adoption.channels;
  return o;
}

SpectrumImport importSpectrumPath(Session& s, const std::string& path) {
  SpectrumImport o;
  std::string bytes;
  o.kind = readImportFile(path, bytes);
  if (o.kind != ImportOutcome::Kind::Loaded) return o;
  o = importSpectrum(s, bytes, fileNameOf(path));
  if (o.kind == ImportOutcome::Kind::Loaded) s.LastPath = path.substr(0, Session::kMaxPathLength);
  return o;
}

}  // namespace tolvane
