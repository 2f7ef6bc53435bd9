#pragma once
// The assessment of fits against one loaded table, split into what depends
// on the standards alone, made once, and the work per sample. Once: the
// channels of the fit windows, every standard's filtered spectrum and its
// variance there, the share of the chi-square the fit takes out of the
// noise (from the filter's correlations, for a sample made of all the
// standards), and which standards spill into another's window. Per sample:
// the filtered sample on those channels, the residual against the full
// model and its variance. A batch makes one plan per worker; assessFit
// makes one for a single fit.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "xfit/fit_quality.h"
#include "xfit/mlsq_fit.h"

namespace tolvane {

class FitQualityPlan {
 public:
  explicit FitQualityPlan(const XfitWorkspace& fit);

  // As assessFit. Without `keepCurve` the residual curve (channels,
  // residual, sigma) is left empty: a batch keeps the figures only.
  FitQuality assess(const std::array<double, kMaxStandards>& coefficients,
                    const std::array<double, kMaxStandards>& errors, const int32_t* sampleCounts, int32_t channels,
                    bool keepCurve = true);

  // The table's spill flags, the same for every sample.
  const std::vector<FitFlag>& spills() const { return spills_; }

 private:
  void planExpectation();
  void planSpills();
  // The filter's sums over inputs [first, first + length) of a prefix sum.
  double filtered(const std::vector<int64_t>& prefix, int32_t first, double side) const;
  // The K-ratios the full model gives from the fit's own sums.
  bool solveFullModel(std::array<double, kMaxStandards>& kratios, int32_t channels);

  int m_ = 0;
  std::array<int32_t, kMaxStandards> selectedIndex_{};
  int32_t n_ = 0;  // channels of the fit windows
  TopHatWidths widths_;
  int32_t length_ = 0, h_ = 0;
  double side_ = 0.0;  // weight of a side lobe channel
  std::vector<double> weight_;
  std::vector<std::pair<int32_t, int32_t>> windows_;
  std::vector<int32_t> union_;  // the channels of the fit windows, each once, in order
  std::vector<uint32_t> mask_;  // per union channel: bit k when standard k's window holds it
  std::vector<std::vector<int32_t>> windowRows_;
  std::vector<double> x_;              // standard k's filtered spectrum at union row i: x_[k * n_ + i]
  std::vector<double> stdVar_;         // its variance there, same layout
  std::vector<double> expected_;       // per row: its share of the chi-square a correct model leaves
  std::vector<double> windowSquares_;  // per standard: sum of squared correlations over its window
  double squares_ = 0.0;               // the same over all rows
  std::vector<FitFlag> spills_;
  std::vector<double> referenceWeight_;  // per row: the fit's weight for the sample of all standards
  int32_t stdChannels_ = 0;
  std::vector<int32_t> stdCounts_;  // while planning only

  std::vector<char> rowWritable_, rowShiftWritable_;  // the filter (and the one a channel later) reach no past 4095
  ptrdiff_t writableRows_ = 0;  // the rows whose filter reaches no input past 4095 (a first run of rows)
  std::array<size_t, kMaxStandards> windowFirstRow_{}, windowEndRow_{};  // each window's run of rows
  std::vector<double> expectedPrefix_;                                   // running sum of expected_

  // Per sample, reused. The sums of the counts under a row's three lobes,
  // and of the counts above zero.
  struct LobeSums {
    int64_t left = 0, centre = 0, right = 0;
    int64_t leftPositive = 0, centrePositive = 0, rightPositive = 0;
  };
  LobeSums lobeSumsAt(int32_t first, const int32_t* counts, int32_t channels) const;
  LobeSums slide(LobeSums sums, int32_t first, const int32_t* counts, int32_t channels) const;
  std::vector<LobeSums> lobeSums_;
  std::vector<char> lobeSumsMade_;
  const int32_t* sampleCounts_ = nullptr;
  std::vector<double> y_, weightOfFit_, r_, var_, residualVar_, z2_;
};

}  // namespace tolvane
