#pragma once
// What only the window has: the texts it shows outside the plot, the
// fields of the ROI and calibration pages as typed, the run buttons'
// enablement and the mirror of its polling timer. Handlers write these from
// the engine's outcomes; the window copies them into its widgets.
#include "app/page_fields.h"
#include "app/window_texts.h"

namespace tolvane {

struct WindowState {
  WindowTexts Texts;
  RoiPageFields RoiPage;
  CalibrationPageFields CalibrationPage;
  bool RunButtonsEnabled = false;
  TimerState Timer1;
};

}  // namespace tolvane
