#pragma once
// The gross sum of an ROI as the plot shows it, and the table's stored
// copy of it (`RoiEntry::GrossSum`) for the entries the plot sums.
#include <cstdint>

#include "records/shared_records.h"

namespace tolvane {

// Sum of counts[low .. high-1], added in single precision; channels
// outside 0 .. size-1 count 0, and high <= low gives 0.
float roiGrossSum(const int32_t* counts, int32_t size, int32_t low, int32_t high);

// The gross sum as `GrossSum` keeps it: truncated toward zero, held to
// the range of a 32-bit integer.
int32_t storedGrossSum(float gross);

// Puts the gross sum into `GrossSum` of each shown entry among the first
// `entries` (the plot sums entries 0..9 only).
void storeRoiGrossSums(RoiTable& table, int entries, const int32_t* counts, int32_t size);

}  // namespace tolvane
