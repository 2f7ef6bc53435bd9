#include "acquisition/view_from_status.h"

#include "records/shared_records.h"

namespace tolvane {

void TakeViewFromStatus(const DeviceStatus& status, DisplayState& display, bool takeCursor) {
  display.FirstShown = status.viewFirst();
  display.LastShown = status.viewLast();
  if (takeCursor) display.Cursor = status.viewCursor();
  if (status.fullScaleCode() == 0) {
    display.LogScale = true;
  } else {
    display.LogScale = false;
    display.FullScaleIndex = status.fullScaleCode();
  }
}

}  // namespace tolvane
