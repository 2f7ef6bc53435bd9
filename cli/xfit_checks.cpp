#include "cli/xfit_checks.h"

#include "cli/cli_error.h"
#include "cli/file_session.h"
#include "xfit/sample_warnings.h"
#include "xfit/standard_table.h"

namespace tolvane::cli {

namespace {

std::string standardName(const StandardInUse& s) {
  return "standard No." + std::to_string(s.index + 1) + " (" + s.element + ")";
}

}  // namespace

std::optional<int> refuseStandards(const std::string& table, const StandardsCheck& check) {
  using Outcome = StandardsCheck::Outcome;
  switch (check.outcome) {
    case Outcome::Ready:
      return std::nullopt;
    case Outcome::TableNotFound:
      return fail(code::kNotFound, "table not found: " + table + " (" + unreadableReason(table) + ")");
    case Outcome::NotATable:
      if (isFolder(table)) return fail(code::kNotFound, "cannot open " + table + ": is a folder");
      return fail(code::kRefused, table + " is not a table: " + std::to_string(check.tableSize) +
                                      " bytes where a table has " + std::to_string(StandardTable::kFileSize));
    case Outcome::NoStandardInUse:
      return fail(code::kRefused, "no standard in use in " + table);
    case Outcome::StandardMissing: {
      const StandardInUse& s = check.standards.back();
      return fail(code::kNotFound,
                  standardName(s) + " of " + table + ": spectrum file missing: " + s.path + " (" + unreadableReason(s.path) + ")");
    }
    case Outcome::StandardRefused: {
      const StandardInUse& s = check.standards.back();
      return fail(code::kRefused, standardName(s) + " of " + table + ": spectrum file refused: " + s.path +
                                      " holds no whole block of 512 counts (its header says " +
                                      std::to_string(s.read.header.channelCount()) + " channels)");
    }
  }
  return fail(code::kFailed, "cannot load the standards of " + table);
}

std::optional<double> liveTimeKratio(double kratioPct, const SpectrumFileRead& sample, const StandardInUse& standard) {
  return tolvane::liveTimeKratio(kratioPct, sample.header.liveTime(), standard.read.header.liveTime());
}

}  // namespace tolvane::cli
