#pragma once
// The text fields and check boxes of the window's pages that the core reads
// and writes: the ROI page and the energy calibration page. The window
// keeps its widgets equal to these.
#include <string>

#include "records/shared_records.h"

namespace tolvane {

struct RoiPageFields {
  static constexpr int kNoEntry = -1;
  static constexpr int kEmptyItem = 16;  // the trailing empty item of the list
  int Selected = kNoEntry;               // ROINoSelect's item
  bool On = false;                       // ROIOnCheck
  std::string Low;                       // EditROILow
  std::string High;                      // EditROIHigh
  std::string Element = "Element";
  Colour24 Colour = kBlue;  // ROIColor
};

struct CalibrationPageFields {
  std::string LowCh = "Low Ch";
  std::string HiCh = "High Ch";
  std::string LoEng = "Low Energy";
  std::string HiEng = "Hi Energy";
  std::string ChKev = "keV";
};

}  // namespace tolvane
