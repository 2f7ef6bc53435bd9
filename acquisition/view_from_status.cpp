#include "acquisition/view_from_status.h"

#include "app/session.h"

namespace tolvane {

void TakeViewFromStatus(Session& s, bool takeCursor) {
  const DeviceStatus& status = s.Acquisition.Status;
  s.Texts.Label1 = std::to_string(status.viewFirst()) + "ch";
  s.Display.FirstShown = status.viewFirst();
  s.Texts.Label2 = std::to_string(status.viewLast()) + "ch";
  s.Display.LastShown = status.viewLast();
  s.Texts.Label3 = std::to_string(status.viewCursor());
  if (takeCursor) s.Display.Cursor = status.viewCursor();
  if (status.fullScaleCode() == 0) {
    s.Display.LogScale = true;
  } else {
    s.Display.LogScale = false;
    s.Display.FullScaleIndex = status.fullScaleCode();
  }
}

}  // namespace tolvane
