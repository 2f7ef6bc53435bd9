#include "xfit/batch_plan.h"

#include <algorithm>
#include <tuple>

namespace tolvane {

BatchPlan::BatchPlan(const XfitWorkspace& fit) {
  standards_ = fit.FitCount;
  factor_ = (2 * fit.Widths.centre * fit.Widths.side) / (fit.Widths.centre + 2 * fit.Widths.side);
  const auto m = static_cast<size_t>(standards_);
  // Each window cut to the buffer, as the single fit cuts it.
  std::vector<int32_t> lowCh(m), highCh(m);
  std::vector<int32_t> packedOf(kFitChannels + 1, -1);
  for (size_t k = 0; k < m; ++k) {
    lowCh[k] = std::max(fit.SelectedCopy[k].fitLowCh(), 0);
    highCh[k] = std::min(fit.SelectedCopy[k].fitHighCh(), kFitChannels);
    for (int32_t c = lowCh[k]; c < highCh[k]; ++c) packedOf[static_cast<size_t>(c)] = 0;
  }
  for (int32_t c = 0; c < kFitChannels; ++c) {
    if (packedOf[static_cast<size_t>(c)] < 0) continue;
    packedOf[static_cast<size_t>(c)] = static_cast<int32_t>(channels_.size());
    if (channels_.empty() || channels_.back() != c - 1) runs_.push_back({c, c, static_cast<int32_t>(channels_.size())});
    runs_.back().last = c;
    channels_.push_back(c);
    longestRun_ = std::max(longestRun_, runs_.back().last - runs_.back().first + 1);
  }
  // A window's channels are neighbours, so they stay together when packed.
  const auto packedRange = [&](int32_t lowChannel, int32_t highChannel) -> std::pair<int32_t, int32_t> {
    if (lowChannel >= highChannel) return {0, 0};
    const int32_t p = packedOf[static_cast<size_t>(lowChannel)];
    return {p, p + (highChannel - lowChannel)};
  };
  const auto packed = channels_.size();
  low_.resize(m);
  high_.resize(m);
  filtered_.assign(m * packed, 0.0);
  for (size_t k = 0; k < m; ++k) {
    std::tie(low_[k], high_[k]) = packedRange(lowCh[k], highCh[k]);
    const double* s = fit.filteredStd(static_cast<int>(k));
    for (size_t p = 0; p < packed; ++p) filtered_[k * packed + p] = s[channels_[p]];
  }
  // Products of the standards over each overlap; returns where they start.
  const auto addProducts = [&](size_t i, size_t j, int32_t lo, int32_t hi) {
    const auto start = static_cast<int32_t>(products_.size());
    const double *si = fit.filteredStd(static_cast<int>(i)), *sj = fit.filteredStd(static_cast<int>(j));
    for (int32_t c = lo; c < hi; ++c) products_.push_back(si[c] * sj[c]);
    return start;
  };
  diagonal_.assign(m, -1);
  for (size_t i = 0; i < m; ++i)
    if (lowCh[i] < highCh[i]) diagonal_[i] = addProducts(i, i, lowCh[i], highCh[i]);
  for (size_t i = 0; i < m; ++i)
    for (size_t j = i + 1; j < m; ++j) {
      const int32_t lo = std::max(lowCh[i], lowCh[j]), hi = std::min(highCh[i], highCh[j]);
      if (lo >= hi) continue;
      const auto [pl, ph] = packedRange(lo, hi);
      pairs_.push_back({static_cast<int32_t>(i), static_cast<int32_t>(j), pl, ph, addProducts(i, j, lo, hi)});
    }
}

BatchPlanView BatchPlan::view() const {
  BatchPlanView v;
  v.standards = standards_;
  v.factor = factor_;
  v.packed = static_cast<int32_t>(channels_.size());
  v.runCount = static_cast<int32_t>(runs_.size());
  v.runs = runs_.data();
  v.channels = channels_.data();
  v.low = low_.data();
  v.high = high_.data();
  v.filtered = filtered_.data();
  v.diagonal = diagonal_.data();
  v.pairCount = static_cast<int32_t>(pairs_.size());
  v.pairs = pairs_.data();
  v.products = products_.data();
  v.longestRun = longestRun_;
  return v;
}

}  // namespace tolvane
