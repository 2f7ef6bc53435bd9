#pragma once
// The steps of the "Xfit" page's commands on the standards table, the ROI
// table and the fit's storage, without the window.
#include <cstdint>
#include <string>

#include "records/shared_records.h"
#include "xfit/mlsq_fit.h"

namespace tolvane {

// "Add Std": record `roi` of the table takes ROI `roi`'s window and label
// and the shown spectrum's name, and takes part in the fit. False (nothing
// changes) for an ROI number outside the table.
[[nodiscard]] bool registerStandard(StandardTable& table, const RoiTable& rois, int roi, const std::string& spectrumName);

// After a table with `count` selected standards was loaded: ROIs 0 ..
// count-1 take the windows and labels of table records 0 .. count-1
// (defined, hidden, blue); the last one becomes the selected ROI.
void setRoisFromTable(RoiTable& rois, const StandardTable& table, int32_t count);

// The sample the fit works on: the first `channels` counts, cut to the
// fit's 4096 channels; the rest of the storage is cleared.
void takeSample(XfitWorkspace& fit, const int32_t* counts, int32_t channels);

// Whether a standard in use was counted for another live time than the
// sample (`liveTime`, 0.1 s): its K-ratio is then a count ratio, not a
// concentration ratio.
bool liveTimesDiffer(const TDmVQRN& module, int32_t liveTime);

}  // namespace tolvane
