#include "device/mca_open_click.h"

#include "app/session.h"
#include "device/link_advice.h"

namespace tolvane {

void McaOpenClick(Session& s) {
  if (s.Acquisition.DeviceCount != 0) {
    OpenDevice(s.api(), s.Link, s.Acquisition, 0);
    return;
  }
  if (OpenDevice(s.api(), s.Link, s.Acquisition, 0)) {
    s.Texts.Edit2 = std::to_string(s.Acquisition.DeviceCount);
    s.RunButtonsEnabled = true;
    s.Acquisition.DeviceOpen = 1;
  } else {
    s.Texts.Edit2 = "Error";
    // A set-up problem the user can fix (permissions, a driver holding the
    // device) is named in the status field with what to do.
    if (const std::string advice = linkStatusText(s.api().lastProblem()); !advice.empty()) s.Texts.Edit1 = advice;
  }
}

void OpenDeviceIfUnlisted(Session& s) {
  if (s.Acquisition.DeviceCount != 0) return;
  if (OpenDevice(s.api(), s.Link, s.Acquisition, 0)) s.Texts.Edit1 = std::to_string(s.Acquisition.DeviceCount);
}

}  // namespace tolvane
