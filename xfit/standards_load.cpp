#include "xfit/standards_load.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "files/spectrum_file.h"

namespace tolvane {

namespace {

// Why a file cannot be read: "no such file", "is a folder", or the system's
// reason.
std::string unreadableReason(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return errno == ENOENT ? "no such file" : std::strerror(errno);
  if (S_ISDIR(info.st_mode)) return "is a folder";
  std::ifstream in(path, std::ios::binary);
  return in ? "cannot be read" : std::strerror(errno);
}

}  // namespace

StandardsLoad LoadStandardTable(TDmVQRN& module, const std::string& tablePath) {
  StandardsLoad load;
  // A cancelled dialog names no folder to load from: nothing is loaded.
  switch (ReadStandardTableFile(module.Table, tablePath)) {
    case TableReadOutcome::Cancelled:
      return load;
    case TableReadOutcome::Failed:
      load.outcome = StandardsLoad::Outcome::TableUnreadable;
      load.file = tablePath;
      load.reason = unreadableReason(tablePath);
      return load;
    case TableReadOutcome::Read:
      break;
  }
  XfitWorkspace& fit = module.Fit;
  fit.FitCount = 0;
  for (int i = 0; i < StandardTable::kRecords; ++i) {
    const StandardRecord& record = module.Table.Records[static_cast<size_t>(i)];
    if (record.inUse() != 1) continue;
    fit.SelectedCopy[static_cast<size_t>(fit.FitCount)] = record;
    fit.SelectedIndex[static_cast<size_t>(fit.FitCount)] = i;
    ++fit.FitCount;
  }
  if (fit.FitCount == 0) {
    load.outcome = StandardsLoad::Outcome::NoStandardInUse;
    return load;
  }
  for (int k = 0; k < fit.FitCount; ++k) {
    const StandardRecord& record = fit.SelectedCopy[static_cast<size_t>(k)];
    const std::string path = module.Table.Folder + record.specFile();
    const SpectrumFileRead read = readSpectrumPath(path, SpectrumReadRule::Standard);
    if (!read.ok()) {
      load.outcome = read.outcome == SpectrumFileRead::Outcome::CannotOpen ? StandardsLoad::Outcome::StandardMissing
                                                                            : StandardsLoad::Outcome::StandardRefused;
      load.index = fit.SelectedIndex[static_cast<size_t>(k)];
      load.element = record.elemName();
      load.file = record.specFile();
      load.reason = read.outcome == SpectrumFileRead::Outcome::CannotOpen
                        ? unreadableReason(path)
                        : "no whole block of 512 counts (its header says " +
                              std::to_string(read.header.channelCount()) + " channels)";
      return load;
    }
    if (read.headerDisagrees())
      load.readAsBlocks.push_back({fit.SelectedIndex[static_cast<size_t>(k)], record.elemName(), record.specFile(),
                                   read.header.channelCount(), read.channels});
    int32_t* counts = fit.stdCounts(k);
    std::fill(counts, counts + kFitChannels, 0);
    std::copy(read.counts.begin(), read.counts.end(), counts);
    fit.StdChannels = read.channels;
    TopHatFilter(counts, fit.filteredStd(k), read.channels, fit.Widths);
  }
  load.outcome = StandardsLoad::Outcome::Loaded;
  load.count = fit.FitCount;
  return load;
}

std::string readAsBlocksText(const StandardReadAsBlocks& s) {
  return s.element + ": " + s.file + " read as " + std::to_string(s.channels) + " channels, its header says " +
         std::to_string(s.headerChannels);
}

std::string standardsLoadProblem(const StandardsLoad& load) {
  using Outcome = StandardsLoad::Outcome;
  switch (load.outcome) {
    case Outcome::Loaded:
    case Outcome::Cancelled:
      return {};
    case Outcome::TableUnreadable:
      return "table " + load.file + ": " + load.reason;
    case Outcome::NoStandardInUse:
      return "no standard in use";
    case Outcome::StandardMissing:
    case Outcome::StandardRefused:
      return "Std No." + std::to_string(load.index + 1) + " (" + load.element + ") " + load.file + ": " + load.reason;
  }
  return {};
}

std::string standardsLoadStatus(const StandardsLoad& load) {
  std::string text = std::to_string(load.count);
  // A cancelled dialog and a table without standards show the count alone.
  if (load.outcome == StandardsLoad::Outcome::Cancelled || load.outcome == StandardsLoad::Outcome::NoStandardInUse)
    return text;
  if (!load.loaded()) return text + ": " + standardsLoadProblem(load);
  if (load.readAsBlocks.empty()) return text;
  text += ": " + readAsBlocksText(load.readAsBlocks.front());
  if (load.readAsBlocks.size() > 1) text += " (+" + std::to_string(load.readAsBlocks.size() - 1) + " more)";
  return text;
}

}  // namespace tolvane
