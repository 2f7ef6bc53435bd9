#pragma once
// What a batch run reports, the same from `xfit --batch` and from the Xfit
// page's "Batch...": the CSV (a header, then one row per file with its
// K-ratios, errors, live-time K-ratios, reduced chi-squares and flags, the
// sample's warnings among the flags), and the warnings summed up once per
// cause with the number of files, so that thousands of files do not give
// thousands of lines.
#include <map>
#include <string>
#include <vector>

#include "xfit/batch_files.h"
#include "xfit/sample_warnings.h"

namespace tolvane {

// A CSV field, quoted when it holds a comma, a quote or a line break.
std::string csvField(const std::string& text);

// "file", per standard "<el>_kratio_pct,<el>_kratio_err", then per
// standard "<el>_kratio_pct_lt", then the quality columns.
std::string batchCsvHeader(const XfitWorkspace& fit);
inline constexpr const char* kFitQualityColumns = ",chi2_reduced,chi2_reduced_after_spill,flags";

// One file's row. Cells are empty where the file could not be read or
// fitted. The flags cell holds the fit's flags (kind:index,
// window_spill:index>index) and the sample's warnings, joined by ';'.
std::string batchCsvRow(const std::string& path, const BatchFileResult& result,
                        const std::vector<StandardInUse>& standards, const std::vector<SampleWarning>& warnings);
// The quality columns' cells of a row, each after a comma.
std::string fitQualityCells(const FitQuality& quality, const std::vector<SampleWarning>& warnings = {});
// The cells one by one: a reduced chi-square as the CSV writes it, and the
// flags cell (empty when there is nothing to say).
std::string chi2Cell(double chi2Reduced);
std::string fitFlagsCell(const FitQuality& quality, const std::vector<SampleWarning>& warnings);

// The warnings of a run, counted by cause, with the first file's detail.
class WarningSummary {
 public:
  void add(const std::string& path, const std::vector<SampleWarning>& warnings);
  // "2,000 files: live time differs from the standards' ...; first:
  // a.dat: live times differ: ...", one line per cause in the order first
  // met.
  std::vector<std::string> lines() const;

 private:
  struct Cause {
    size_t files = 0;
    std::string firstPath, firstText;
  };
  std::vector<SampleWarningCause> order_;
  std::map<SampleWarningCause, Cause> causes_;
};

}  // namespace tolvane
