#include "handlers/file_handlers.h"

#include "app/session.h"
#include "handlers/plot_handlers.h"

namespace tolvane {

namespace {

void redrawInLogView(Session& s) {
  DrawLogFrame(s, true);
  PaintBox1Paint(s);
}

}  // namespace

std::string refusedReadText(int channels) { return "Refused: " + std::to_string(channels) + " ch"; }

// Writing names the spectrum after the file (even when the file then
// cannot be written): the plot shows the new name at once.
bool WriteSpectrumFile(Session& s, const std::string& path) {
  const bool written = writeWorkingSpectrum(s, path) == FileWriteOutcome::Written;
  if (!written) s.Texts.Edit1 = kFileWriteErrorText;
  PaintBox1Paint(s);
  return written;
}

bool ReadSpectrumFile(Session& s, const std::string& path) { return takeSpectrumFile(s, path, readSpectrumPath(path)); }

bool takeSpectrumFile(Session& s, const std::string& path, const SpectrumFileRead& read) {
  const SpectrumFileTake take = takeSpectrumRead(s, path, read);
  switch (take.outcome) {
    case SpectrumFileRead::Outcome::CannotOpen:
      s.Texts.Edit1 = kFileReadErrorText;
      return false;
    case SpectrumFileRead::Outcome::Refused:
      s.Texts.Edit1 = refusedReadText(take.channels);
      redrawInLogView(s);
      return true;
    case SpectrumFileRead::Outcome::Read:
      showAdoptedSpectrum(s, take.adoption);
      return true;
  }
  return false;
}

void showAdoptedSpectrum(Session& s, const SpectrumAdoption& a) {
  const int m = a.channels;
  s.Display.ReadoutsFromSpectrum = true;  // not the analyser's last run
  s.Texts.Label1 = "0ch";
  s.Texts.Label2 = std::to_string(m - 1) + "ch";
  s.Texts.Label3 = std::to_string(m / 2);
  if (a.memoryCut())
    s.Texts.Edit1 = "Mem" + std::to_string(a.memory) + " keeps " + std::to_string(a.memoryKept) + " of " +
                    std::to_string(m) + " ch";
  redrawInLogView(s);
}

bool WriteAsciiDump(Session& s, const std::string& path) {
  const bool written = writeAsciiDump(s, path) == FileWriteOutcome::Written;
  if (!written) s.Texts.Edit1 = kFileWriteErrorText;
  PaintBox1Paint(s);
  return written;
}

ExportOutcome ExportSpectrumFile(Session& s, const std::string& path, ExportFormat format, EmsaDataForm form) {
  const ExportOutcome outcome = writeExportFile(s, path, format, form);
  if (outcome != ExportOutcome::Written) s.Texts.Edit1 = kFileWriteErrorText;
  return outcome;
}

std::string importStatusText(const ImportOutcome& o) {
  switch (o.kind) {
    case ImportOutcome::Kind::CannotOpen:
      return kFileReadErrorText;
    case ImportOutcome::Kind::TooLarge:
      return "MSA file too large";
    case ImportOutcome::Kind::Refused:
      return "MSA " + describeEmsaRefusal(o.read);
    case ImportOutcome::Kind::Loaded:
      break;
  }
  return importAdjustmentText(o);
}

ImportOutcome ImportEmsaFile(Session& s, const std::string& path) {
  const ImportOutcome o = importEmsaPath(s, path);
  if (o.kind == ImportOutcome::Kind::Loaded) showAdoptedSpectrum(s, o.adoption);
  const std::string status = importStatusText(o);
  if (!status.empty()) s.Texts.Edit1 = status;
  return o;
}

std::string spectrumImportStatusText(const SpectrumImport& o) {
  if (o.format == ImportFormat::Emsa) return importStatusText(o.emsa);
  switch (o.kind) {
    case ImportOutcome::Kind::CannotOpen:
      return kFileReadErrorText;
    case ImportOutcome::Kind::TooLarge:
      return "File too large";
    case ImportOutcome::Kind::Refused: {
      const char* name = o.format == ImportFormat::Pmca ? "MCA" : o.format == ImportFormat::Spec ? "SPEC" : "Text";
      return std::string(name) + " " + o.refusal();
    }
    case ImportOutcome::Kind::Loaded:
      break;
  }
  return o.adjustments();
}

SpectrumImport ImportSpectrumFile(Session& s, const std::string& path) {
  const SpectrumImport o = importSpectrumPath(s, path);
  if (o.kind == ImportOutcome::Kind::Loaded) showAdoptedSpectrum(s, o.adoption);
  const std::string status = spectrumImportStatusText(o);
  if (!status.empty()) s.Texts.Edit1 = status;
  return o;
}

}  // namespace tolvane
