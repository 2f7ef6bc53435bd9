#include "xfit/standards_check.h"

#include <fstream>

#include "xfit/standard_table.h"

namespace tolvane {

StandardsCheck checkStandards(const std::string& tablePath) {
  StandardsCheck check;
  std::ifstream in(tablePath, std::ios::binary | std::ios::ate);
  if (!in) return check;
  check.tableSize = static_cast<long long>(in.tellg());
  if (check.tableSize != StandardTable::kFileSize) {
    check.outcome = StandardsCheck::Outcome::NotATable;
    return check;
  }
  StandardTable table;
  if (ReadStandardTableFile(table, tablePath) != TableReadOutcome::Read) return check;
  for (int i = 0; i < StandardTable::kRecords; ++i) {
    const StandardRecord& record = table.Records[static_cast<size_t>(i)];
    if (record.inUse() != 1) continue;
    StandardInUse standard{i, record.elemName(), table.Folder + record.specFile(), {}};
    standard.read = readSpectrumPath(standard.path, SpectrumReadRule::Standard);
    const auto outcome = standard.read.outcome;
    check.standards.push_back(std::move(standard));
    if (outcome == SpectrumFileRead::Outcome::CannotOpen) {
      check.outcome = StandardsCheck::Outcome::StandardMissing;
      return check;
    }
    if (outcome == SpectrumFileRead::Outcome::Refused) {
      check.outcome = StandardsCheck::Outcome::StandardRefused;
      return check;
    }
  }
  check.outcome = check.standards.empty() ? StandardsCheck::Outcome::NoStandardInUse : StandardsCheck::Outcome::Ready;
  return check;
}

std::vector<StandardInUse> loadedStandards(const TDmVQRN& module) {
  std::vector<StandardInUse> standards;
  for (int k = 0; k < module.Fit.FitCount; ++k) {
    const StandardRecord& record = module.Fit.SelectedCopy[static_cast<size_t>(k)];
    StandardInUse standard{module.Fit.SelectedIndex[static_cast<size_t>(k)],
                           record.elemName(),
                           module.Table.Folder + record.specFile(),
                           {}};
    standard.read = readSpectrumPath(standard.path, SpectrumReadRule::Standard);
    standards.push_back(std::move(standard));
  }
  return standards;
}

}  // namespace tolvane
